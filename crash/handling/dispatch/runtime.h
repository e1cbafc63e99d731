#pragma once
// The reporter's process-wide machinery: the per-thread exception state, the
// record handed to the handler thread, and the state this module's copy of
// the reporter keeps (main thread, message window, handler thread, handler
// lists, exception-time history).

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "ostrel/com_ptr.h"
#include "crash/flow/exception_history.h"
#include "ostrel/reporter_settings.h"
#include "crash/flow/handler_dispatch.h"
#include "crash/flow/handler_lists.h"
#include "ostrel/ostrel.h"

namespace ostrel {
class TExceptionReport;
}

namespace ostrel::rt {

// An older exception still alive when a newer one was raised.
struct InnerException {
  std::u16string className, message;
  bool external = false;
  std::uintptr_t address = 0;
  CONTEXT context{};
};

// What a thread last raised, recorded on every throw.
struct ThreadExceptionState {
  const void* rawObject = nullptr;  // the thrown object, compared by address
  std::uintptr_t address = 0;
  CONTEXT context{};
  bool hasContext = false;
  EXCEPTION_RECORD record{};
  std::vector<InnerException> inner;  // newest first
  int suspended = 0;                  // inside the reporter: nothing is recorded
};
ThreadExceptionState& ThisThread();
void ClearThreadState(ThreadExceptionState& state);

// libstdc++ keeps the thrown object's address as the exception_ptr's first
// member; comparing it tells whether two pointers hold the same exception.
inline const void* RawObject(const std::exception_ptr& p) {
  const void* raw = nullptr;
  static_assert(sizeof(p) == sizeof(raw));
  __builtin_memcpy(&raw, &p, sizeof raw);
  return raw;
}

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

// Class name and message of an exception object, as the report shows them.
struct ExceptionDescription {
  std::u16string className;  // empty: no valid object
  std::u16string message;
  const std::type_info* type = nullptr;
  bool external = false;
  bool abort = false;
};
ExceptionDescription Describe(const std::exception_ptr& object);

// The system exception a code stands for, as the run-time names it.
struct SystemExceptionClass {
  std::exception_ptr object;  // null: the run-time has no class for it
  std::uint8_t source = kSourceUnhandled;
};
SystemExceptionClass MapSystemException(const EXCEPTION_RECORD& record);

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
  // Sends the main thread past the pause check (thread_pause.cpp).
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

  void Start();
  void Stop();

  // Hands the record to the handler thread and waits; false when the record
  // was not handled there (no handler thread, or it ended meanwhile).
  bool HandOver(ExceptionMessageRecord& record);
  // A record handled where it is, on the raising thread.
  void HandleHere(const ExceptionMessageRecord& record);

  // IMainThreadCalls: the 1500 ms probe of the main thread, then the work.
  bool RunOnMainThread(const std::function<void()>& work) override;
  void Synchronize(const std::function<void()>& call);

  // The restart hand-over and the exception times of an earlier process.
  void TakeOverRestart();

  // Freeze watch (started when the settings ask for it).
  void PauseFreezeWatch(bool pause);
  void ResetFreezeMisses();

 private:
  Runtime() = default;
  void CreateMessageWindow();
  void StartHandlerThread();
  void StopHandlerThread();
  static DWORD WINAPI HandlerThreadMain(void*);
  static LRESULT CALLBACK MessageWindowProc(HWND, UINT, WPARAM, LPARAM);

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

// The handling of one record (on the handler thread, or on the raising
// thread when waiting is unsafe).
void HandleRecord(const ExceptionMessageRecord& record);

// True when waiting for another thread could dead-lock: the loader lock or
// the process-environment lock is held, polled every 10 ms for `waitMs`.
bool WaitingIsUnsafe(DWORD waitMs);
void StartHeapProbe();
void StopHeapProbe();
// Every thread of the registry with the address that created it.
struct ThreadCreator {
  DWORD threadId;
  std::uintptr_t creatorAddress;
  std::u16string name, className;
  DWORD creatorThreadId;
};
std::vector<ThreadCreator> ThreadCreators();
// Cooperative pausing of the program's threads while an exception is
// handled (PauseThreads): threads pause when they next ask for a message.
void PrepareThreadPausing();
// The automatic save at the end of handling (report_saving.cpp).
bool SaveBugReportAutomatically(TExceptionReport& report, const std::u16string& text);
void PauseThreads(DWORD exempt);
void ResumeThreads();
// Around a handler the main thread runs: it alone goes on meanwhile.
void ResumeMainThreadOnly();
void PauseMainThreadAgain();
void EndThreadPausing();
// The exception's address corrected by its function's code (see
// crash/report/disasm/exception_address.h); nothing for an EAbort.
std::uintptr_t CheckExceptionAddress(std::uintptr_t address, bool abort);
// The integrity check of the reporter's and the settings' module files.
void CheckModuleFiles(const ComPtr<IReporterModuleSettings>& settings, HMODULE reporter);
// Ends one of the reporter's threads, idle in an alertable wait, so that it
// runs none of this module's code again (see thread_end.cpp).
void EndIdleThread(HANDLE thread, DWORD waitMs);
// False when a heap's lock stays held for `waitMs`.
bool HeapsFree(DWORD waitMs);
// This thread runs a library's initialisation or finalisation.
bool LoaderLockHeldHere();

[[noreturn]] void TerminateProgram();
[[noreturn]] void RestartProgram(const wchar_t* commandLine);

void ClearTempFolder();

// Four 4 MB reservations and four 512 KB regions, given back when an
// exception arrives so that handling it has room.
void ReserveMemory();
void ReleaseMemory();

// Interception points: system exception filters, the run-time's final
// error paths, thread creation.
void InstallInterception();
void RemoveInterception();

// The thread registry (shared by every module of the process).
void OpenThreadRegistry();
void CloseThreadRegistry();
void UpdateThreadEntry(DWORD threadId, HANDLE handle, const std::u16string* name,
                       DWORD creatorThreadId, std::uintptr_t creatorAddress,
                       const std::u16string* className);
void RemoveThreadEntry(DWORD threadId);
// Runs work while the thread's entry is held in the registry: a thread that
// ends through the registry cannot be on its way out meanwhile. False (and
// work not run) when the thread has no entry.
bool WhileRegistered(DWORD threadId, const std::function<void()>& work);
std::u16string ThreadName(DWORD threadId);
HANDLE ThreadRegistryWatcherMutex();

void StartFreezeWatch(std::int32_t timeoutMs);
void StopFreezeWatch();
// The main thread's answer to a probe; false for other messages.
bool AnswerFreezeProbe(UINT message, WPARAM target);

// The end of handling: waits for the complete report when someone needs it.
void FinishHandling(TExceptionReport& report, bool waitForSending);

// Narrow run-time texts become report texts.
std::u16string FromAnsi(const std::string& text);
std::u16string FromWide(const wchar_t* text);
std::u16string Hex8(std::uintptr_t value);

}  // namespace ostrel::rt
