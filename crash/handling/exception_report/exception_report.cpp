#include "crash/handling/exception_report/exception_report.h"

#include <cstring>

#include "crash/flow/exception_text.h"
#include "crash/handling/threads/thread_state.h"
#include "crash/report/compose/report_text.h"
#include "crash/settings/win/process_settings.h"

namespace ostrel {

TExceptionReport::TExceptionReport(rt::IReportHost& host, ComPtr<IReporterModuleSettings> settings)
    : ExceptionSettingsCore(ProcessSettings(), std::move(settings)),
      host_(host),
      actions_(*this, host) {
  GetLocalTime(&time_);
}

ComPtr<TExceptionReport> TExceptionReport::Create(rt::IReportHost& host, const ReportCreation& c) {
  ComPtr<IReporterModuleSettings> settings = c.settings ? c.settings : GlobalSettings();
  ComPtr<TExceptionReport> r(new TExceptionReport(host, settings));
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
  r->trace_ = c.trace;
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
    if (mustBeComplete && !complete_) completion_.Wait();
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

bool TExceptionReport::EnterCompletePhase(bool fire) {
  std::uint8_t expected = 3;
  if (!phase_.compare_exchange_strong(expected, 4)) return false;
  if (fire) {
    bool handled = false;
    actions_.FirePhase(4, handled);
  }
  return true;
}

void TExceptionReport::EnterShowingPhase() {
  phase_ = 3;
  const bool claimed = complete_ && EnterCompletePhase(false);
  // Handled has no effect from here on: each round starts afresh.
  bool handled = false;
  if (claimed) {
    actions_.FirePhase(4, handled);
  } else if (phase_ == 3) {
    actions_.FirePhase(3, handled);
  }
}

std::uint32_t TExceptionReport::ThreadStackId(int index) {
  try {
    BuildLists();
  } catch (...) {
  }
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return index >= 0 && static_cast<std::size_t>(index) < walks_.size()
             ? walks_[static_cast<std::size_t>(index)].threadId
             : 0;
}

// The walk's own text: the section adds the creator's title and an inner
// exception's line.
void TExceptionReport::ThreadCallStack(int index, std::u16string& out) {
  out.clear();
  try {
    BuildLists();
    if (!complete_) completion_.Wait();
  } catch (...) {
  }
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!complete_ || index < 0 || static_cast<std::size_t>(index) >= walks_.size()) return;
  const ThreadWalk& w = walks_[static_cast<std::size_t>(index)];
  if (w.failed) {
    out = InternalErrorText(u"GetThreadReport");
  } else if (w.readable) {
    out = w.result.text;
  }
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
  if (sendThread_) CloseHandle(sendThread_);
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
  // Read and cleared in one step, as another thread may be setting it.
  if (--updates_ == 0 && changedWhileUpdating_.exchange(false)) Changed();
}

void TExceptionReport::Changed() {
  if (updates_.load() > 0) {
    changedWhileUpdating_.store(true);
    return;
  }
  std::u16string text;
  ReportText(false, text);
  callbacks_.Notify(complete_, text, this);
}

void TExceptionReport::RegisterReportCallback(ReportCallback routine, bool critical) {
  if (!callbacks_.Add(routine, critical)) return;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    completionElsewhereAllowed_ = true;
  }
  std::u16string text;
  ReportText(false, text);
  routine(complete_, text, this);
}

void TExceptionReport::RegisterReportMethodCallback(ReportMethodCallback method, void* object,
                                                    bool critical) {
  if (!callbacks_.Add(method, object, critical)) return;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    completionElsewhereAllowed_ = true;
  }
  std::u16string text;
  ReportText(false, text);
  method(object, complete_, text, this);
}

void TExceptionReport::UnregisterReportCallback(ReportCallback routine) {
  callbacks_.Remove(routine);
}

void TExceptionReport::UnregisterReportMethodCallback(ReportMethodCallback method, void* object) {
  callbacks_.Remove(method, object);
}

void TExceptionReport::SetShowMode(ostrel::ShowMode value) {
  const auto number = static_cast<std::int32_t>(value);
  filter_.show = number >= 0 && number <= 4 ? value : ostrel::ShowMode::Box;
}

}  // namespace ostrel
