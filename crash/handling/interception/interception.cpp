// Where exceptions end when nobody handles them, mapped onto Win32 and the
// C++ run-time: system exceptions of any thread (the unhandled-exception
// filter), a stack overflow (a vectored handler that only signals, since
// almost no stack is left), C++ exceptions nobody catches (terminate), and
// the run-time's final errors (abort, pure call, invalid parameter).
#include "crash/handling/interception/interception.h"

#include <csignal>
#include <cstring>

#include "crash/base/utf.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/interception/system_exceptions.h"
#include "crash/handling/interception/thread_hooks.h"
#include "crash/handling/lifetime/win/process_support.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_end.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/handling/threads/thread_state.h"

extern "C" {
void __real___cxa_pure_virtual();
void __wrap___cxa_pure_virtual();
}

namespace ostrel::rt {
namespace {

constexpr DWORD kThreadNaming = 0x406D1388;

// The stack overflow hand-over: the overflowing thread copies its state here,
// signals and waits; the relay thread reports it with a stack of its own.
struct OverflowSlot {
  volatile LONG busy = 0;
  DWORD threadId = 0;
  HANDLE thread = nullptr;
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  HANDLE request = nullptr;  // auto-reset
  HANDLE done = nullptr;     // auto-reset
  HANDLE relay = nullptr;
  DWORD relayId = 0;
};
OverflowSlot& Overflow() {
  static OverflowSlot slot;
  return slot;
}

struct Installed {
  PVOID vectored = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
  std::terminate_handler previousTerminate = nullptr;
  void (*previousAbort)(int) = nullptr;
  bool active = false;
};
Installed& State() {
  static Installed installed;
  return installed;
}

// Ends a worker after its exception was handled and the program goes on:
// out of the registry, with exit code 0.
[[noreturn]] void EndThisThread() {
  RemoveThreadEntry(GetCurrentThreadId());
  ExitThread(0);
}

void ReportSystem(const EXCEPTION_RECORD& record, const CONTEXT* context, DWORD threadId,
                  bool isMain) {
  const SystemExceptionClass mapped = MapSystemException(record);
  ReportRequest request;
  request.object = mapped.object;
  request.address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  request.context = context;
  request.systemRecord = &record;
  request.source = mapped.source;
  request.canContinue = mapped.source == kSourceUnhandled && !isMain;
  request.threadId = threadId;
  ReportException(request);
}

LONG CALLBACK Vectored(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode == kThreadNaming && record->NumberParameters >= 3 &&
      record->ExceptionInformation[0] == 0x1000) {
    // The debugger's naming convention feeds the registry; with no debugger
    // nobody else would handle it, so execution goes on after the raise.
    const char* name = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    DWORD thread = static_cast<DWORD>(record->ExceptionInformation[2]);
    if (thread == 0xFFFFFFFF) thread = GetCurrentThreadId();
    if (name && !IsBadStringPtrA(name, 256)) {
      try {
        const std::u16string text = Utf8ToUtf16(name);
        UpdateThreadEntry(thread, nullptr, &text, 0, 0, nullptr);
      } catch (...) {
      }
    }
    return IsDebuggerPresent() ? EXCEPTION_CONTINUE_SEARCH : EXCEPTION_CONTINUE_EXECUTION;
  }
  if (record->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    // Record, signal and wait: formatting or allocating here would overflow
    // again with the 2 or 3 KB that are left.
    OverflowSlot& slot = Overflow();
    if (!slot.relay || GetCurrentThreadId() == slot.relayId) return EXCEPTION_CONTINUE_SEARCH;
    while (InterlockedCompareExchange(&slot.busy, 1, 0) != 0) Sleep(1);
    slot.threadId = GetCurrentThreadId();
    std::memcpy(&slot.record, record, sizeof slot.record);
    std::memcpy(&slot.context, info->ContextRecord, sizeof slot.context);
    SetEvent(slot.request);
    WaitForSingleObject(slot.done, INFINITE);
    const bool worker = slot.threadId != Runtime::Get().MainThreadId();
    InterlockedExchange(&slot.busy, 0);
    // A continued worker ends (exit code 0); its registry entry has gone
    // already.
    if (worker) ExitThread(0);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// Ends an overflowed thread that must not be reported (the reporter's own),
// without running anything more on its spent stack.
void EndOverflowed(OverflowSlot& slot) {
  if (HANDLE thread = OpenThread(THREAD_TERMINATE | SYNCHRONIZE, FALSE, slot.threadId)) {
    TerminateThread(thread, EXCEPTION_STACK_OVERFLOW);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
  }
  RemoveThreadEntry(slot.threadId);
  InterlockedExchange(&slot.busy, 0);
}

DWORD WINAPI OverflowRelay(void*) {
  OverflowSlot& slot = Overflow();
  for (;;) {
    const DWORD woke = WaitForSingleObjectEx(slot.request, INFINITE, TRUE);
    if (woke == WAIT_IO_COMPLETION) continue;
    if (woke != WAIT_OBJECT_0) return 0;
    Runtime& runtime = Runtime::Get();
    const bool isMain = slot.threadId == runtime.MainThreadId();
    if (slot.threadId == runtime.HandlerThreadId()) {
      // The reporter's own thread is never reported; its waiters see it end
      // and handle their exceptions themselves.
      EndOverflowed(slot);
      continue;
    }
    // The handler thread waits for the main thread, or the overflow came
    // inside the heap (its lock stays with the spent thread): nobody can
    // report it, and waiting would hang the program.
    if ((isMain && runtime.RunningHandlersOnMain()) || !HeapsFree(250)) TerminateProgram();
    try {
      ReleaseMemory();
      ReportSystem(slot.record, &slot.context, slot.threadId, isMain);
    } catch (...) {
    }
    if (!isMain) RemoveThreadEntry(slot.threadId);
    SetEvent(slot.done);
  }
}

LONG WINAPI Unhandled(EXCEPTION_POINTERS* info) {
  Runtime& runtime = Runtime::Get();
  // The reporter's own thread is never reported; its wait ends with it.
  if (runtime.IsHandlerThread()) ExitThread(info->ExceptionRecord->ExceptionCode);
  const bool isMain = runtime.IsMainThread();
  try {
    // Room for handling first: this may be an out-of-memory crash.
    ReleaseMemory();
    ReportSystem(*info->ExceptionRecord, info->ContextRecord, GetCurrentThreadId(), isMain);
  } catch (...) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  if (!isMain) EndThisThread();
  return EXCEPTION_CONTINUE_SEARCH;
}

void Terminate() {
  const bool isMain = Runtime::Get().IsMainThread();
  ReportRequest request;
  if (std::exception_ptr current = std::current_exception()) {
    // A C++ exception nobody caught: terminate runs where it was thrown, with
    // its stack still in place.
    request.object = current;
    request.source = kSourceUnhandled;
    request.canContinue = !isMain;
    Runtime& runtime = Runtime::Get();
    if (runtime.Module() != GetModuleHandleW(nullptr) && LoaderLockHeldHere()) {
      // A library's initialisation raised: nothing can catch it any more,
      // so the load cannot go on.
      request.source = kSourceLibraryInit;
      request.package = reinterpret_cast<std::uintptr_t>(runtime.Module());
      request.canContinue = false;
    }
    ReportException(request);
    if (!isMain) EndThisThread();
  } else {
    request.object =
        std::make_exception_ptr(EOstrelError("Runtime error: std::terminate was called"));
    request.address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    request.source = kSourceRuntimeError;
    request.canContinue = false;
    ReportException(request);
  }
  TerminateProcess(GetCurrentProcess(), 3);
}

void RuntimeError(const char* text, std::uintptr_t address) {
  ReportRequest request;
  request.object = std::make_exception_ptr(EOstrelError(text));
  request.address = address;
  request.source = kSourceRuntimeError;
  request.canContinue = false;
  ReportException(request);
}

void OnAbort(int) {
  RuntimeError("Runtime error: abort was called",
               reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  TerminateProcess(GetCurrentProcess(), 3);
}

void __cdecl InvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned,
                              std::uintptr_t) {
  RuntimeError("Runtime error: invalid parameter passed to a C run-time function",
               reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  TerminateProcess(GetCurrentProcess(), 3);
}

void __cdecl PureCall() {
  RuntimeError("Runtime error: pure virtual function call",
               reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  TerminateProcess(GetCurrentProcess(), 3);
}

template <class Setter, class Handler>
void SetInMsvcrt(const char* name, Handler handler) {
  HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
  if (!crt) return;
  if (auto set = reinterpret_cast<Setter>(reinterpret_cast<void*>(GetProcAddress(crt, name)))) {
    set(handler);
  }
}

}  // namespace

void InstallInterception() {
  Installed& s = State();
  if (s.active) return;
  OverflowSlot& slot = Overflow();
  slot.request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  slot.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  DWORD relayId = 0;
  slot.relay = CreateThread(nullptr, 256 * 1024, OverflowRelay, nullptr, 0, &relayId);
  slot.relayId = relayId;
  if (slot.relay) {
    SetThreadPriority(slot.relay, THREAD_PRIORITY_HIGHEST);
    const std::u16string name = u"Ostrel - StackOverflowThread";
    UpdateThreadEntry(relayId, slot.relay, &name, GetCurrentThreadId(), 0, nullptr);
  }
  // Room for the handler when the main thread's stack runs out.
  ULONG guarantee = 16 * 1024;
  SetThreadStackGuarantee(&guarantee);
  s.vectored = AddVectoredExceptionHandler(1, Vectored);
  s.previousFilter = SetUnhandledExceptionFilter(Unhandled);
  s.previousTerminate = std::set_terminate(Terminate);
  s.previousAbort = std::signal(SIGABRT, OnAbort);
  using InvalidParameterSetter = void*(__cdecl*)(void*);
  SetInMsvcrt<InvalidParameterSetter>("_set_invalid_parameter_handler",
                                      reinterpret_cast<void*>(&InvalidParameter));
  SetInMsvcrt<InvalidParameterSetter>("_set_purecall_handler", reinterpret_cast<void*>(&PureCall));
  InstallThreadHooks();
  s.active = true;
}

void RemoveInterception() {
  Installed& s = State();
  if (!s.active) return;
  RemoveThreadHooks();
  if (s.vectored) RemoveVectoredExceptionHandler(s.vectored);
  SetUnhandledExceptionFilter(s.previousFilter);
  std::set_terminate(s.previousTerminate);
  std::signal(SIGABRT, s.previousAbort ? s.previousAbort : SIG_DFL);
  OverflowSlot& slot = Overflow();
  if (slot.relay) {
    EndIdleThread(slot.relay, 250);
    CloseHandle(slot.relay);
    slot.relay = nullptr;
  }
  s.active = false;
}

}  // namespace ostrel::rt

// g++ calls this for a pure virtual slot; the run-time would only print and
// terminate.
void __wrap___cxa_pure_virtual() {
  ostrel::rt::RuntimeError("Runtime error: pure virtual function call",
                           reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  __real___cxa_pure_virtual();
}
