// The handling of one exception, from its record to the program going on,
// restarting or ending.
#include "crash/handling/dispatch/handle_record.h"

#include "crash/flow/class_filter.h"
#include "crash/handling/dispatch/exception_address_check.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/exception_report/automatic_save.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/exception_report/report_actions.h"
#include "crash/handling/exception_report/report_sending.h"
#include "crash/handling/lifetime/win/process_support.h"
#include "crash/handling/threads/thread_pause.h"
#include "crash/handling/threads/thread_state.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/clipboard/win/clipboard.h"

namespace ostrel::rt {
namespace {

// Runs once, when the report is first complete: the automatic send (with
// the delivery) and the copy to the clipboard. The automatic save waits for
// the end of handling, so that what the box and its handlers add is saved.
void AutoActions(bool complete, const std::u16string& text, IExceptionReport* report) {
  if (!complete || !report) return;
  auto* r = static_cast<TExceptionReport*>(report);
  if (!r->FirstCompletion()) return;
  if (r->GetBool("AutoSend") && !text.empty()) {
    // Without a window: no assistant, no questions.
    bool handled = false;
    r->FireActions(kActionSend, nullptr, handled);
    if (!handled) SendBugReport(*r, text, nullptr, true, true, &ReportActions::Sent);
  }
  if (r->GetBool("AutoClip") && !text.empty()) CopyToClipboard(text);
}

// The automatic save, once per report, when it is not to wait for a send
// that happened.
void AutomaticSave(TExceptionReport& r) {
  if (!r.MakeBugReport() || !r.GetBool("AutoSave")) return;
  if (r.GetBool("AutoSaveIfNotSent") && r.SentFlag()) return;
  if (!r.FirstAutomaticSave()) return;
  std::u16string text;
  r.ReportText(true, text);
  if (text.empty()) return;
  bool handled = false;
  r.FireActions(kActionSave, nullptr, handled);
  if (!handled && SaveBugReportAutomatically(r, text)) {
    bool ignored = false;
    r.FireActions(kActionSaved, nullptr, ignored);
  }
}

}  // namespace

void FinishHandling(TExceptionReport& report, bool waitForSending) {
  Runtime& runtime = Runtime::Get();
  if (report.MakeBugReport() &&
      (report.CriticalCallbackExists() ||
       (runtime.Handlers().AnyExceptionHandlerForPhase(4) && report.RunHandlers()))) {
    std::u16string text;
    report.ReportText(true, text);
  }
  AutomaticSave(report);
  // A background delivery is not cut off by the program's end.
  HANDLE* sending = report.SendThreadSlot();
  if (waitForSending && *sending) {
    WaitForSingleObject(*sending, INFINITE);
    CloseHandle(*sending);
    *sending = nullptr;
  }
}

void HandleRecord(const ExceptionMessageRecord& record) {
  Runtime& runtime = Runtime::Get();
  ClearTempFolder();
  std::vector<InnerException> inner;
  if (record.inner) inner = *record.inner;

  ReportCreation creation;
  creation.settings = SettingsForAddress(record.address);
  creation.kind = static_cast<ReportKind>(record.type);
  if (record.object) creation.object = *record.object;
  creation.address = CheckExceptionAddress(record.address, false);
  creation.canContinue = record.canContinue != 0;
  creation.threadId = record.threadId;
  creation.stackPointer = record.stackPointer;
  creation.framePointer = record.framePointer;
  creation.context = record.context;
  creation.record = record.record.ExceptionCode ? &record.record : nullptr;
  creation.source = static_cast<InterceptionSource>(record.source);
  creation.relatedObject = record.relatedObject;
  creation.package = record.package;
  if (record.preparedStack) {
    creation.preparedStack.assign(record.preparedStack, record.preparedStackLength);
  }
  ComPtr<TExceptionReport> report = TExceptionReport::Create(ReportHost(), creation);
  TExceptionReport& r = *report;

  r.StorePhase(1);
  r.SetInnerExceptions(std::move(inner));
  bool handled;
  if (creation.kind == ReportKind::Hidden) {
    handled = true;
    FireHiddenHandlers(runtime.Handlers(), r.Dispatch(), handled);
  } else {
    handled = false;
    runtime.History().Record(SecondsSince1601());
  }
  if (!handled) r.SetPhaseAndFire(1, handled);
  r.StorePhase(2);
  // Other threads pause while the exception is handled, when the settings
  // ask for it and the reporter is the executable's own.
  const bool pause = !handled && creation.kind != ReportKind::Frozen && r.PauseThreadsWanted() &&
                     runtime.Module() == GetModuleHandleW(nullptr);
  struct Paused {
    bool on;
    ~Paused() {
      if (on) ResumeThreads();
    }
  } paused{pause};
  if (pause) PauseThreads(0);
  if (!handled) {
    if (r.MakeScreenShot()) r.TakeScreenShot();
    if (r.MakeBugReport()) {
      std::u16string text;
      r.ReportText(false, text);
    }
    r.SetPhaseAndFire(2, handled);
    if (handled) {
      r.StorePhase(3);
    } else {
      r.EnterShowingPhase();
    }
    if (!(handled && r.Continuable())) {
      if (!handled) {
        // An exception that makes no report has nothing to save, send or copy;
        // registering the actions would build the report all the same.
        if (r.MakeBugReport() &&
            (r.GetBool("AutoSave") || r.GetBool("AutoSend") || r.GetBool("AutoClip"))) {
          r.RegisterReportCallback(AutoActions, true);
        }
        r.PresentException();
      }
      const bool shownAndChosen =
          r.Continuable() && r.ShowMode() != ShowMode::Nothing && r.ShownInGui();
      if (!shownAndChosen) {
        const std::uint64_t now = SecondsSince1601();
        const ExceptionHistory& history = runtime.History();
        const bool autoClose = history.AutoButtonDue(r.GetInt("AutoClose"), now);
        const bool autoRestart = history.AutoButtonDue(r.GetInt("AutoRestart"), now);
        bool ignored = false;
        if (autoClose || (!r.Continuable() && !autoRestart)) {
          r.FireActions(kActionClose, nullptr, ignored);
          FinishHandling(r, true);
          TerminateProgram();
        } else if (autoRestart) {
          r.FireActions(kActionRestart, nullptr, ignored);
          FinishHandling(r, true);
          RestartProgram(nullptr, Runtime::Get().History());
        } else {
          r.FireActions(kActionContinue, nullptr, ignored);
        }
      }
      if (!handled) FinishHandling(r, false);
    }
  }
  runtime.ResetFreezeMisses();
}

}  // namespace ostrel::rt
