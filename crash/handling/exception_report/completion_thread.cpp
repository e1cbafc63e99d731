#include "crash/handling/exception_report/completion_thread.h"

#include <atomic>

#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/ui/progress/win/progress_alert.h"

namespace ostrel {
namespace {

// Completions still running; the program's exit waits for them.
std::atomic<int> running{0};

}  // namespace

void WaitForRunningCompletions() {
  for (int waited = 0; running.load() > 0 && waited < 3000; waited += 10) Sleep(10);
}

CompletionThread::~CompletionThread() {
  cancel_ = true;
  if (thread_) {
    // The thread holds a reference to the report: it has ended, or ends now
    // (when it dropped the last reference itself).
    if (GetThreadId(thread_) != GetCurrentThreadId()) WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
  }
}

DWORD WINAPI CompletionThread::Main(void* parameter) {
  auto* report = static_cast<TExceptionReport*>(parameter);
  // One of the reporter's own: no report lists or suspends it.
  const std::u16string name = u"Ostrel - ReportCompletionThread";
  rt::UpdateThreadEntry(GetCurrentThreadId(), nullptr, &name, 0, 0, nullptr);
  report->CompleteReport();
  rt::RemoveThreadEntry(GetCurrentThreadId());
  report->Release();  // the completion's own reference
  --running;
  return 0;
}

void CompletionThread::Start(bool elsewhere) {
  if (elsewhere && !rt::WaitingIsUnsafe(250)) {
    report_.AddRef();
    ++running;
    // Deep stacks recurse in the walk's scoring: room for them.
    thread_ =
        CreateThread(nullptr, 1 << 20, Main, &report_, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread_) {
      SetThreadPriority(thread_, THREAD_PRIORITY_ABOVE_NORMAL);
      return;
    }
    --running;
    report_.Release();
  }
  RunHere();
}

void CompletionThread::RunHere() {
  // Completed on this thread: the box shows, without moving, that work goes on.
  std::unique_ptr<IProgressAlert> box;
  if (report_.GetBool("PlWaitBox")) box = ShowPleaseWait();
  report_.CompleteReport();
}

std::unique_ptr<IProgressAlert> CompletionThread::ShowPleaseWait() {
  try {
    std::unique_ptr<IProgressAlert> box =
        CreateProgressAlert(report_.GetText("PlWaitTitle"), nullptr, u"");
    if (!box) return nullptr;
    for (const std::uint64_t weight : report_.WalkWeights()) {
      box->AppendArea(report_.GetText("PlWaitText"), weight);
    }
    box->Display(nullptr, false);
    return box;
  } catch (...) {
    return nullptr;
  }
}

void CompletionThread::Wait() {
  if (!thread_) {
    RunHere();
    return;
  }
  if (WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) return;
  std::unique_ptr<IProgressAlert> box;
  if (report_.GetBool("PlWaitBox")) box = ShowPleaseWait();
  if (!box) {
    WaitForSingleObject(thread_, INFINITE);
    return;
  }
  SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);
  // The walk reports where it is; the box moves on this thread.
  while (MsgWaitForMultipleObjects(1, &thread_, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
    const int area = area_.load();
    if (area >= 0 && area != box->ActiveArea()) box->SetActiveArea(area);
    box->SetProgress(position_.load());
    box->PumpMessages();
  }
}

}  // namespace ostrel
