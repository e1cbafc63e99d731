// The freeze watcher: a thread that keeps asking the main thread for a sign
// of life and reports it frozen when none comes for the timeout.
#include "crash/handling/dispatch/freeze_watch.h"

#include <memory>
#include <mutex>

#include "crash/flow/freeze_logic.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_end.h"
#include "crash/handling/threads/thread_registry.h"

namespace ostrel::rt {
namespace {

constexpr WPARAM kAnswer = 777;

struct Watcher {
  std::mutex lock;  // guards the pause event's life
  std::unique_ptr<FreezeWatchLogic> logic;
  HANDLE thread = nullptr;
  DWORD threadId = 0;
  HANDLE stop = nullptr;
  HANDLE pause = nullptr;
  UINT probe = 0;
  HWND window = nullptr;
};
Watcher& TheWatcher() {
  static Watcher watcher;
  return watcher;
}

DWORD WINAPI WatcherMain(void*) {
  Watcher& w = TheWatcher();
  HANDLE only = ThreadRegistryWatcherMutex();
  // Every wait is alertable, so that a library being unloaded can end the
  // thread (EndIdleThread).
  if (only) WaitForSingleObjectEx(only, INFINITE, TRUE);  // one watcher per process
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // make the queue
  // The stop event is the thread's own copy: the stopper forgets its own.
  HANDLE stop = nullptr;
  DuplicateHandle(GetCurrentProcess(), w.stop, GetCurrentProcess(), &stop, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  while (stop && WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
    HANDLE pause = nullptr;
    {
      std::lock_guard<std::mutex> guard(w.lock);
      if (w.pause)
        DuplicateHandle(GetCurrentProcess(), w.pause, GetCurrentProcess(), &pause, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    }
    if (pause) {
      while (WaitForSingleObjectEx(pause, INFINITE, TRUE) == WAIT_IO_COMPLETION) {
      }
      CloseHandle(pause);
    }
    PostMessageW(w.window, w.probe, 0, 0);
    if (WaitForSingleObjectEx(stop, w.logic->Interval(), TRUE) == WAIT_OBJECT_0) break;
    bool answered = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!msg.hwnd && msg.message == WM_NULL && msg.wParam == kAnswer && msg.lParam == 777) {
        answered = true;
      }
    }
    if (w.logic->OnProbe(answered)) {
      ReportRequest request;
      request.kind = ReportKind::Frozen;
      request.source = kSourceFreeze;
      request.canContinue = true;
      request.threadId = Runtime::Get().MainThreadId();
      ReportException(request);
    }
  }
  if (stop) CloseHandle(stop);
  if (only) ReleaseMutex(only);
  return 0;
}

}  // namespace

// The main thread's side of a probe, from its message window.
bool AnswerFreezeProbe(UINT message, WPARAM target) {
  Watcher& w = TheWatcher();
  if (!w.probe || message != w.probe) return false;
  if (target) {
    PostMessageW(reinterpret_cast<HWND>(target), WM_NULL, kAnswer, 777);
  } else {
    PostThreadMessageW(w.threadId, WM_NULL, kAnswer, 777);
  }
  return true;
}

void StartFreezeWatch(std::int32_t timeoutMs) {
  Watcher& w = TheWatcher();
  Runtime& runtime = Runtime::Get();
  if (w.thread || !runtime.MessageWindow()) return;
  w.window = runtime.MessageWindow();
  w.probe = RegisterWindowMessageW(L"OstrelFreezeProbe");
  w.logic = std::make_unique<FreezeWatchLogic>(timeoutMs);
  w.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  w.thread = CreateThread(nullptr, 128 * 1024, WatcherMain, nullptr, CREATE_SUSPENDED, &w.threadId);
  if (!w.thread) return;
  const std::u16string name = u"Ostrel - AntiFreezeThread";
  UpdateThreadEntry(w.threadId, w.thread, &name, GetCurrentThreadId(), 0, nullptr);
  SetThreadPriority(w.thread, THREAD_PRIORITY_HIGHEST);
  ResumeThread(w.thread);
}

void StopFreezeWatch() {
  Watcher& w = TheWatcher();
  if (!w.thread) return;
  if (WaitingIsUnsafe(0)) {
    // Unloaded with the loader lock held: the thread could not finish.
    EndIdleThread(w.thread, 500);
    SetEvent(w.stop);
  }
  HANDLE stop = w.stop;
  w.stop = nullptr;
  SetEvent(stop);
  {
    std::lock_guard<std::mutex> guard(w.lock);
    if (w.logic->EndPauses() && w.pause) {
      SetEvent(w.pause);
      CloseHandle(w.pause);
      w.pause = nullptr;
    }
  }
  if (WaitForSingleObject(w.thread, 500) != WAIT_OBJECT_0) EndIdleThread(w.thread, 500);
  CloseHandle(w.thread);
  CloseHandle(stop);
  RemoveThreadEntry(w.threadId);
  w.thread = nullptr;
  w.probe = 0;
}

void Runtime::PauseFreezeWatch(bool pause) {
  Watcher& w = TheWatcher();
  if (!w.thread || GetCurrentThreadId() == w.threadId) return;
  std::lock_guard<std::mutex> guard(w.lock);
  if (pause) {
    w.logic->ResetMisses();
    if (w.logic->Pause()) w.pause = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  } else {
    if (w.logic->Resume() && w.pause) {
      SetEvent(w.pause);
      CloseHandle(w.pause);
      w.pause = nullptr;
    }
    w.logic->ResetMisses();
  }
}

void Runtime::ResetFreezeMisses() {
  Watcher& w = TheWatcher();
  if (w.logic) w.logic->ResetMisses();
}

}  // namespace ostrel::rt
