#pragma once
// The state this module's copy of the reporter keeps (main thread, message
// window, handler thread, handler lists, exception-time history), and the
// record a raising thread hands to the handler thread.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "crash/flow/exception_history.h"
#include "crash/flow/handler_dispatch.h"
#include "crash/flow/handler_lists.h"
#include "crash/handling/exception_report/report_host.h"
#include "crash/handling/threads/thread_state.h"
#include "ostrel/ostrel.h"

namespace ostrel::rt {

// How a raising thread hands an exception to the handler thread: written
// whole into the pipe, read whole at the other end. Pointers refer to the
// raising thread's memory, which stays valid while it waits.
struct ExceptionMessageRecord {
  HANDLE event;  // 0: stop
  DWORD threadId;
  std::uint8_t type;
  const std::exception_ptr* object;
  std::uintptr_t address;
  std::uint8_t canContinue;
  std::uintptr_t stackPointer, framePointer;
  const CONTEXT* context;
  EXCEPTION_RECORD record;
  std::u16string* reportOut;
  std::uint8_t source;
  void* relatedObject;
  std::uintptr_t package;
  const char* preparedStack;
  std::uint32_t preparedStackLength;
  const std::vector<InnerException>* inner;
};

class Runtime final : public IMainThreadCalls {
 public:
  static Runtime& Get();

  bool Started() const { return started_.load(); }
  DWORD MainThreadId() const { return mainThreadId_; }
  bool IsMainThread() const { return GetCurrentThreadId() == mainThreadId_; }
  bool IsHandlerThread() const { return GetCurrentThreadId() == handlerThreadId_; }
  DWORD HandlerThreadId() const { return handlerThreadId_; }
  bool IsConsoleProgram() const { return console_; }
  HMODULE Module() const { return module_; }
  // Since the reporter started; -1 before.
  std::int64_t MillisecondsSinceStart() const;
  // Sends the main thread past its wait for a message (the pause check).
  void PostFireMessage() const {
    if (messageWindow_) PostMessageW(messageWindow_, fireMessage_, 0, 0);
  }
  // The system's fault reporting ("ReportFault" of FaultRep.dll), if any;
  // resolved when first asked for, so that start-up loads no library for it.
  using ReportFaultEntry = DWORD(WINAPI*)(EXCEPTION_POINTERS*, DWORD);
  ReportFaultEntry ReportFault();
  HWND MessageWindow() const { return messageWindow_; }
  HandlerLists& Handlers() { return handlers_; }
  ExceptionHistory& History() { return history_; }
  bool RunningHandlersOnMain() const { return mainRunsHandlers_.load(); }

  // Reads what the module and the process are; the thread that calls it is
  // taken for the main thread.
  void Initialize();
  // The main thread's message window, and the handler thread with its pipe.
  void CreateMessageWindow();
  void DestroyMessageWindow();
  void StartHandlerThread();
  void StopHandlerThread();
  // The previous state.
  bool SetStarted(bool started) { return started_.exchange(started); }

  // Hands the record to the handler thread and waits; false when the record
  // was not handled there (no handler thread, or it ended meanwhile).
  bool HandOver(ExceptionMessageRecord& record);
  // A record handled where it is, on the raising thread.
  void HandleHere(const ExceptionMessageRecord& record);

  // IMainThreadCalls: the 1500 ms probe of the main thread, then the work.
  bool RunOnMainThread(const std::function<void()>& work) override;
  void Synchronize(const std::function<void()>& call);

  // Freeze watch (freeze_watch.cpp; started when the settings ask for it).
  void PauseFreezeWatch(bool pause);
  void ResetFreezeMisses();

 private:
  Runtime() = default;
  static DWORD WINAPI HandlerThreadMain(void*);
  static LRESULT CALLBACK MessageWindowProc(HWND, UINT, WPARAM, LPARAM);

  bool initialized_ = false;
  std::atomic<bool> started_{false};
  DWORD mainThreadId_ = 0;
  bool console_ = false;
  HMODULE module_ = nullptr;
  HWND messageWindow_ = nullptr;
  UINT fireMessage_ = 0, syncMessage_ = 0;
  HANDLE pipeRead_ = nullptr, pipeWrite_ = nullptr;
  HANDLE recordsReady_ = nullptr;  // one count per record in the pipe
  std::int64_t startCounter_ = -1, counterFrequency_ = 0;
  std::once_flag reportFaultResolved_;
  ReportFaultEntry reportFault_ = nullptr;
  HANDLE handlerThread_ = nullptr;
  DWORD handlerThreadId_ = 0;
  HandlerLists handlers_;
  ExceptionHistory history_;
  std::atomic<bool> mainRunsHandlers_{false};
};

// The runtime as the reports it makes see it.
IReportHost& ReportHost();

}  // namespace ostrel::rt
