#include "crash/handling/exception_report/report_actions.h"

#include <string>
#include <vector>

#include "crash/base/utf.h"
#include "crash/handling/exception_report/automatic_save.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/exception_report/report_sending.h"
#include "crash/handling/lifetime/win/process_support.h"
#include "ostrel/ostrel.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/assistant/win/assistant_flow.h"
#include "crash/ui/exception_box/win/exception_box.h"

namespace ostrel {
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

void ReportActions::Fire(ReportAction action, void* window, bool& handled) {
  if ((action == kActionRestart || action == kActionClose) && report_.MakeBugReport() &&
      (report_.CriticalCallbackExists() ||
       (host_.Handlers().AnyExceptionHandlerForPhase(4) && report_.RunHandlers()))) {
    std::u16string text;
    report_.ReportText(true, text);  // handlers see the finished report before the end
  }
  FireActionHandlers(host_.Handlers(), action, Dispatch(), handled);
  if (handled || !window) return;
  // Send, save and print asked for in a window run their assistant first;
  // its Cancel abandons the action.
  std::u16string assistantName;
  ReportAction after;
  switch (action) {
    case kActionSend:
      report_.SendAssis(assistantName);
      after = kActionSendAssistant;
      break;
    case kActionSave:
      report_.SaveAssis(assistantName);
      after = kActionSaveAssistant;
      break;
    case kActionPrint:
      report_.PrintAssis(assistantName);
      after = kActionPrintAssistant;
      break;
    default:
      return;
  }
  if (assistantName.empty()) return;
  if (RunAssistant(assistantName, static_cast<HWND>(window)) == AssistantOutcome::Cancelled) {
    handled = true;
    return;
  }
  FireActionHandlers(host_.Handlers(), after, Dispatch(), handled);
}

AssistantOutcome ReportActions::RunAssistant(const std::u16string& name, HWND owner) {
  AssistantHost host;
  host.tempFolder = TempFolder();
  host.screenshot = [this] { return NVBitmapPtr(report_.Screenshot()); };
  return RunReportAssistant(report_, name, owner, host);
}

void ReportActions::OpenView(void* window) {
  HWND box = static_cast<HWND>(window);
  if (!box) box = FindWindowW(L"OstrelWndClass", nullptr);
  if (box) PostMessageW(box, kBoxShowReport, 0, 0);
}

// The "after" codes fire only for an action that was done: code 6 once
// the delivery (perhaps on its own thread) got the report out.
void ReportActions::Send(void* window) {
  bool handled = false;
  Fire(kActionSend, window, handled);
  if (!handled) {
    std::u16string text;
    report_.ReportText(true, text);
    rt::SendBugReport(report_, text, static_cast<HWND>(window), false,
                      report_.GetBool("SendInBackgr"), &ReportActions::Sent);
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void ReportActions::Sent(TExceptionReport& report) {
  bool ignored = false;
  report.FireActions(kActionSent, nullptr, ignored);
}

void ReportActions::Save(void* window) {
  bool handled = false;
  Fire(kActionSave, window, handled);
  if (!handled) {
    std::u16string text;
    report_.ReportText(true, text);
    bool ignored = false;
    if (rt::SaveBugReportInteractively(report_, text, window)) Fire(kActionSaved, window, ignored);
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void ReportActions::Print(void* window) {
  bool handled = false;
  Fire(kActionPrint, window, handled);
  if (!handled) {
    std::u16string text;
    report_.ReportText(true, text);
    bool ignored = false;
    if (rt::PrintBugReport(report_, text, window)) Fire(kActionPrinted, window, ignored);
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
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

// The exception's message on the console, or in a GUI program the window
// the show setting asks for.
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
  const ShowMode show = report_.ShowMode();
  if (show == ShowMode::Assistant) {
    std::u16string name;
    report_.ShowAssistantName(name);
    // Without such an assistant, the full box.
    if (RunAssistant(name, nullptr) != AssistantOutcome::Missing) return;
  }
  const box::BoxMode mode = show == ShowMode::PlainWithDetails ? box::BoxMode::PlainWithDetails
                            : show == ShowMode::Plain          ? box::BoxMode::Plain
                                                               : box::BoxMode::Full;
  ExceptionBoxHost boxHost;
  boxHost.autoButtonDue = [this](std::int32_t value) {
    return host_.History().AutoButtonDue(value, rt::SecondsSince1601());
  };
  boxHost.fireAction = [this](int code, HWND window) {
    bool handled = false;
    Fire(static_cast<ReportAction>(code), window, handled);
  };
  boxHost.expand = [this, cls, msg](const std::u16string& text) {
    return ExpandPlaceholders(report_.OwnerModule(), text, cls, u"", u"", msg);
  };
  boxHost.watchMainThread = [this](HWND box) {
    // The freeze watcher's probe, answered to the box once the main thread
    // serves messages again.
    if (HWND main = host_.MainThreadWindow())
      PostMessageW(main, RegisterWindowMessageW(L"OstrelFreezeProbe"),
                   reinterpret_cast<WPARAM>(box), 0);
  };
  RunExceptionBox(report_, mode, true, boxHost);
}

}  // namespace ostrel
