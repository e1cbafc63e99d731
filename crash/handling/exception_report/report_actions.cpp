#include "crash/handling/exception_report/report_actions.h"

#include <string>
#include <vector>

#include "crash/base/utf.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/lifetime/win/process_support.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/choice_box/win/choice_box.h"

namespace ostrel {
namespace {

// What the box is told when an action ends the handling it shows.
constexpr UINT kBoxEnd = WM_USER + 779;
constexpr UINT kBoxShowReport = WM_USER + 778;

}  // namespace

DispatchContext ReportActions::Dispatch() {
  DispatchContext d;
  d.report = &report_;
  d.callHandlers = report_.RunHandlers();
  d.frozen = report_.ReportKind() == ReportKind::Frozen;
  d.mainThread = host_.MainThreadCalls();
  return d;
}

void ReportActions::FirePhase(std::uint8_t phase, bool& handled) {
  FireExceptionHandlers(host_.Handlers(), phase, Dispatch(), handled);
}

void ReportActions::Fire(ReportAction action, void*, bool& handled) {
  if ((action == kActionRestart || action == kActionClose) && report_.MakeBugReport() &&
      (report_.CriticalCallbackExists() ||
       (host_.Handlers().AnyExceptionHandlerForPhase(4) && report_.RunHandlers()))) {
    std::u16string text;
    report_.ReportText(true, text);  // handlers see the finished report before the end
  }
  FireActionHandlers(host_.Handlers(), action, Dispatch(), handled);
}

void ReportActions::OpenView(void* window) {
  HWND box = static_cast<HWND>(window);
  if (!box) box = FindWindowW(L"OstrelWndClass", nullptr);
  if (box) PostMessageW(box, kBoxShowReport, 0, 0);
}

// Sending, saving and printing arrive with the delivery and report file;
// until then the actions only tell their handlers.
void ReportActions::Send(void* window) {
  bool handled = false;
  Fire(kActionSend, window, handled);
  if (!handled) Fire(kActionSent, window, handled);
}

void ReportActions::Save(void* window) {
  bool handled = false;
  Fire(kActionSave, window, handled);
  if (!handled) Fire(kActionSaved, window, handled);
}

void ReportActions::Print(void* window) {
  bool handled = false;
  Fire(kActionPrint, window, handled);
  if (!handled) Fire(kActionPrinted, window, handled);
}

void ReportActions::Continue(void* window) {
  bool handled = false;
  Fire(kActionContinue, window, handled);
  if (window) SendMessageW(static_cast<HWND>(window), kBoxEnd, 0, 0);
}

void ReportActions::Restart(void* window) {
  bool handled = false;
  Fire(kActionRestart, window, handled);
  if (handled) return;
  if (window) SendMessageW(static_cast<HWND>(window), kBoxEnd, 0, 0);
  host_.FinishHandling(report_, true);
  rt::RestartProgram(nullptr, host_.History());
}

void ReportActions::Close(void* window) {
  bool handled = false;
  Fire(kActionClose, window, handled);
  if (handled) return;
  if (window) SendMessageW(static_cast<HWND>(window), kBoxEnd, 0, 0);
  host_.FinishHandling(report_, true);
  rt::TerminateProgram();
}

// Until the exception box exists: a plain box with the exception's text and
// the choices the settings allow.
void ReportActions::Present() {
  if (report_.ShowMode() == ostrel::ShowMode::Nothing) return;
  std::u16string cls, msg;
  report_.ExceptionClassName(cls);
  report_.ExceptionText(msg);
  if (host_.IsConsoleProgram()) {
    auto write = [](const std::u16string& text) {
      const std::string utf8 = Utf16ToUtf8(text);
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
                &written, nullptr);
    };
    // The message goes out at once; the report, when wanted, once complete.
    write(
        ExpandPlaceholders(
            report_.OwnerModule(),
            report_.GetText(report_.ReportKind() == ReportKind::Frozen ? "FrozenMsg" : "ExceptMsg"),
            cls, u"", u"", msg) +
        u"\r\n");
    if (report_.GetBool("AutoShowBugRep") || report_.GetBool("ShowBtnVis")) {
      // The wait shows on the console, not in a box over it.
      report_.SetPlWaitBox(false);
      std::u16string text;
      report_.ReportText(true, text);
      write(u"\r\n" + text + u"\r\n");
    }
    return;
  }
  report_.SetShownInGui();
  const bool canContinue = report_.Continuable();
  std::vector<std::u16string> buttons;
  std::vector<ReportAction> actions;
  if (canContinue) {
    buttons.push_back(u"Continue");
    actions.push_back(kActionContinue);
  }
  buttons.push_back(u"Restart");
  actions.push_back(kActionRestart);
  buttons.push_back(u"Close");
  actions.push_back(kActionClose);
  const int chosen = ChoiceBox(report_.GetText("TitleBar"), cls + u": " + msg, buttons);
  if (chosen < 0) {
    // Closed without a choice: a continuable exception goes on.
    if (canContinue) Continue(nullptr);
    return;
  }
  switch (actions[static_cast<std::size_t>(chosen)]) {
    case kActionContinue:
      Continue(nullptr);
      break;
    case kActionRestart:
      Restart(nullptr);
      break;
    default:
      Close(nullptr);
      break;
  }
}

}  // namespace ostrel
