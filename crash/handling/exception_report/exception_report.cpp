#include "crash/handling/exception_report/exception_report.h"

#include <cstring>

#include "crash/flow/exception_text.h"
#include "crash/ui/choice_box/win/choice_box.h"
#include "crash/ui/clipboard/win/clipboard.h"
#include "crash/report/compose/report_text.h"
#include "crash/settings/win/process_settings.h"

namespace ostrel {

TExceptionReport::TExceptionReport(ComPtr<IReporterModuleSettings> settings)
    : ExceptionSettingsCore(ProcessSettings(), std::move(settings)) {
  GetLocalTime(&time_);
}

ComPtr<TExceptionReport> TExceptionReport::Create(const ReportCreation& c) {
  ComPtr<IReporterModuleSettings> settings = c.settings ? c.settings : GlobalSettings();
  ComPtr<TExceptionReport> r(new TExceptionReport(settings));
  r->kind_ = c.kind;
  r->object_ = c.object;
  r->description_ = rt::Describe(c.object);
  r->address_ = c.address;
  r->canContinue_ = r->originallyContinuable_ = c.canContinue;
  r->threadId_ = c.threadId ? c.threadId : GetCurrentThreadId();
  r->stackPointer_ = c.stackPointer;
  r->framePointer_ = c.framePointer;
  if (c.context) {
    r->context_ = *c.context;
    r->hasContext_ = true;
  }
  if (c.record) r->record_ = *c.record;
  r->source_ = c.source;
  r->relatedObject_ = c.relatedObject;
  r->package_ = c.package;
  r->preparedStack_ = c.preparedStack;
  // A freeze has no object: it is in the general group.
  const std::type_info* type = c.kind == ReportKind::Frozen ? nullptr : r->description_.type;
  r->filter_ = ApplyClassFilter(*r, type, &typeid(EOstrelError));
  if (r->filter_.pauseThreads && !r->GetBool("PauseThreads")) r->filter_.pauseThreads = false;
  return r;
}

HResult TExceptionReport::QueryInterface(const Guid& iid, void** out) {
  if (!out) return kPointer;
  if (SameGuid(iid, kIidUnknown) || SameGuid(iid, kIidReporterSettings) ||
      SameGuid(iid, kIidExceptionReport)) {
    *out = static_cast<IExceptionReport*>(this);
  } else if (SameGuid(iid, kIidSettingsLookup)) {
    *out = static_cast<ISettingsLookup*>(this);
  } else {
    *out = nullptr;
    return kNoInterface;
  }
  AddRef();
  return kOk;
}

std::uint32_t TExceptionReport::Release() {
  const std::uint32_t n = refs_.Decrement();
  if (n == 0) delete this;
  return n;
}

void TExceptionReport::ExceptionClassName(std::u16string& out) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (className_.empty()) {
    std::optional<std::u16string_view> name;
    if (!description_.className.empty()) name = description_.className;
    className_ = ExceptionClassText(kind_, name);
  }
  out = className_;
}

void TExceptionReport::ExceptionText(std::u16string& out) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!haveText_) {
    text_ = kind_ == ReportKind::Frozen ? GetText("FrozenMsg")
                                        : NormaliseExceptionText(description_.message);
    haveText_ = true;
  }
  out = text_;
}

void TExceptionReport::SetExceptionText(const std::u16string& text) {
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    text_ = text;
    haveText_ = true;
  }
  Changed();
}

void TExceptionReport::ReadSystemRecord(void* out80) {
  std::memcpy(out80, &record_, sizeof record_);
}

void TExceptionReport::WriteSystemRecord(const void* record80) {
  std::memcpy(&record_, record80, sizeof record_);
}

SettingsCore::ExpansionArgs TExceptionReport::ExpansionArguments() {
  std::u16string cls, msg;
  ExceptionClassName(cls);
  ExceptionText(msg);
  return {cls, u"", u"", msg};
}

// Composed in the asking thread; the call stacks are not walked yet.
void TExceptionReport::ReportText(bool mustBeComplete, std::u16string& out) {
  try {
    BuildLists();
    if (mustBeComplete && !complete_) WaitForCompletion();
  } catch (...) {
  }
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!header_ || !sections_) {
    out = u">> internal error in ReportText";
    return;
  }
  // The text is made again only when the lists changed since.
  const std::uint64_t now = changes_.load();
  if (reportText_.empty() || textChanges_ != now) {
    try {
      reportText_ = JoinReportText(*header_, *sections_);
    } catch (...) {
      reportText_ = u">> internal error in ReportText";
    }
    textChanges_ = now;
  }
  out = reportText_;
}

void TExceptionReport::SetReportText(const std::u16string& text) {
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    BuildLists();
    // Kept until the lists change.
    reportText_ = text;
    textChanges_ = changes_.load();
  }
  Changed();
}

TExceptionReport::~TExceptionReport() {
  cancel_ = true;
  if (completion_) {
    // The completion holds a reference: it has ended, or ends now.
    if (GetThreadId(completion_) != GetCurrentThreadId()) WaitForSingleObject(completion_, 5000);
    CloseHandle(completion_);
  }
}

void TExceptionReport::TakeScreenShot() {
  if (screenshotTried_ || !filter_.createScreenshot) return;
  screenshotTried_ = true;
  screenshot_ = CaptureScreen(GetBool("ScrShotAppOnly"));
  if (!screenshot_) filter_.createScreenshot = filter_.appendScreenshot = false;
}

void TExceptionReport::ReplaceScreenShot(IUnknownBase* bitmap) {
  INVBitmap* b = nullptr;
  if (bitmap) bitmap->QueryInterface(kIidNVBitmap, reinterpret_cast<void**>(&b));
  screenshot_ = NVBitmapPtr::Adopt(b);
  screenshotTried_ = true;
}

void TExceptionReport::LeaveUpdate() {
  if (--updates_ == 0 && changedWhileUpdating_) {
    changedWhileUpdating_ = false;
    Changed();
  }
}

void TExceptionReport::Changed() {
  if (updates_.load() > 0) {
    changedWhileUpdating_ = true;
    return;
  }
  std::vector<Callback> callbacks;
  std::u16string text;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    callbacks = callbacks_;
  }
  ReportText(false, text);
  for (const Callback& c : callbacks) {
    if (c.routine) c.routine(complete_, text, this);
  }
  for (const Callback& c : callbacks) {
    if (c.method) c.method(c.object, complete_, text, this);
  }
}

void TExceptionReport::RegisterReportCallback(ReportCallback routine, bool critical) {
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (Callback& c : callbacks_) {
      if (c.routine == routine) {
        c.critical = critical;
        return;
      }
    }
    callbacks_.push_back({routine, nullptr, nullptr, critical});
    completionElsewhereAllowed_ = true;
  }
  std::u16string text;
  ReportText(false, text);
  routine(complete_, text, this);
}

void TExceptionReport::RegisterReportMethodCallback(ReportMethodCallback method, void* object,
                                                    bool critical) {
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (Callback& c : callbacks_) {
      if (c.method == method && c.object == object) {
        c.critical = critical;
        return;
      }
    }
    callbacks_.push_back({nullptr, method, object, critical});
    completionElsewhereAllowed_ = true;
  }
  std::u16string text;
  ReportText(false, text);
  method(object, complete_, text, this);
}

void TExceptionReport::UnregisterReportCallback(ReportCallback routine) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::erase_if(callbacks_, [&](const Callback& c) { return c.routine == routine; });
}

void TExceptionReport::UnregisterReportMethodCallback(ReportMethodCallback method, void* object) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::erase_if(callbacks_,
                [&](const Callback& c) { return c.method == method && c.object == object; });
}

bool TExceptionReport::CriticalCallbackExists() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (const Callback& c : callbacks_) {
    if (c.critical) return true;
  }
  return false;
}

void TExceptionReport::SetShowMode(ostrel::ShowMode value) {
  const auto number = static_cast<std::int32_t>(value);
  filter_.show = number >= 0 && number <= 4 ? value : ostrel::ShowMode::Box;
}

DispatchContext TExceptionReport::Dispatch() {
  DispatchContext d;
  d.report = this;
  d.callHandlers = filter_.callHandlers;
  d.frozen = kind_ == ReportKind::Frozen;
  d.mainThread = &rt::Runtime::Get();
  return d;
}

void TExceptionReport::SetPhaseAndFire(std::uint8_t phase, bool& handled) {
  StorePhase(phase);
  FireExceptionHandlers(rt::Runtime::Get().Handlers(), phase_, Dispatch(), handled);
}

void TExceptionReport::FireActions(ReportAction action, void*, bool& handled) {
  rt::Runtime& runtime = rt::Runtime::Get();
  if ((action == kActionRestart || action == kActionClose) &&
      (CriticalCallbackExists() ||
       (runtime.Handlers().AnyExceptionHandlerForPhase(4) && filter_.callHandlers))) {
    std::u16string text;
    ReportText(true, text);  // handlers see the finished report before the end
  }
  FireActionHandlers(runtime.Handlers(), action, Dispatch(), handled);
}

void TExceptionReport::OpenReportView(void* window) {
  HWND box = static_cast<HWND>(window);
  if (!box) box = FindWindowW(L"OstrelWndClass", nullptr);
  if (box) PostMessageW(box, WM_USER + 778, 0, 0);
}

// Sending, saving and printing arrive with the delivery and report file;
// until then the actions only tell their handlers.
void TExceptionReport::SendAction(void* window) {
  bool handled = false;
  FireActions(kActionSend, window, handled);
  if (!handled) FireActions(kActionSent, window, handled);
}

void TExceptionReport::SaveAction(void* window) {
  bool handled = false;
  FireActions(kActionSave, window, handled);
  if (!handled) FireActions(kActionSaved, window, handled);
}

void TExceptionReport::PrintAction(void* window) {
  bool handled = false;
  FireActions(kActionPrint, window, handled);
  if (!handled) FireActions(kActionPrinted, window, handled);
}

void TExceptionReport::ContinueAction(void* window) {
  bool handled = false;
  FireActions(kActionContinue, window, handled);
  if (window) SendMessageW(static_cast<HWND>(window), WM_USER + 779, 0, 0);
}

void TExceptionReport::RestartAction(void* window) {
  bool handled = false;
  FireActions(kActionRestart, window, handled);
  if (handled) return;
  if (window) SendMessageW(static_cast<HWND>(window), WM_USER + 779, 0, 0);
  rt::FinishHandling(*this, true);
  rt::RestartProgram(nullptr);
}

void TExceptionReport::CloseAction(void* window) {
  bool handled = false;
  FireActions(kActionClose, window, handled);
  if (handled) return;
  if (window) SendMessageW(static_cast<HWND>(window), WM_USER + 779, 0, 0);
  rt::FinishHandling(*this, true);
  rt::TerminateProgram();
}

// Until the exception box exists: a plain box with the exception's text and
// the choices the settings allow.
void TExceptionReport::PresentException() {
  rt::Runtime& runtime = rt::Runtime::Get();
  const ostrel::ShowMode show = filter_.show;
  if (runtime.IsConsoleProgram()) {
    if (show == ostrel::ShowMode::Nothing) return;
    std::u16string line = ExpandPlaceholders(
        OwnerModule(), GetText(kind_ == ReportKind::Frozen ? "FrozenMsg" : "ExceptMsg"),
        [&] {
          std::u16string c;
          ExceptionClassName(c);
          return c;
        }(),
        u"", u"",
        [&] {
          std::u16string m;
          ExceptionText(m);
          return m;
        }());
    if (GetBool("AutoShowBugRep") || GetBool("ShowBtnVis")) {
      std::u16string report;
      ReportText(true, report);
      line += u"\r\n\r\n" + report;
    }
    std::string utf8 = rt::ToUtf8(line) + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
    return;
  }
  if (show == ostrel::ShowMode::Nothing) return;
  shownInGui_ = true;
  std::u16string cls, msg;
  ExceptionClassName(cls);
  ExceptionText(msg);
  const std::u16string title = GetText("TitleBar");
  std::vector<std::u16string> buttons;
  std::vector<int> actions;
  if (canContinue_) {
    buttons.push_back(u"Continue");
    actions.push_back(kActionContinue);
  }
  buttons.push_back(u"Restart");
  actions.push_back(kActionRestart);
  buttons.push_back(u"Close");
  actions.push_back(kActionClose);
  const int chosen = rt::ChoiceBox(title, cls + u": " + msg, buttons);
  if (chosen < 0) {
    // Closed without a choice: a continuable exception goes on.
    if (canContinue_) ContinueAction(nullptr);
    return;
  }
  switch (actions[static_cast<std::size_t>(chosen)]) {
    case kActionContinue:
      ContinueAction(nullptr);
      break;
    case kActionRestart:
      RestartAction(nullptr);
      break;
    default:
      CloseAction(nullptr);
      break;
  }
}

}  // namespace ostrel
