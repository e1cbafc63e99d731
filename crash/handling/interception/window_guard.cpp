// The window-procedure guard's frame for processor exceptions. C++ code built
// with DWARF unwinding installs no frames of its own, so a fault inside a
// guarded procedure (or in a library it called) reaches this frame before
// the system's outer ones, which would end the program or swallow the fault.
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/interception/system_exceptions.h"

namespace ostrel::detail {
namespace {

struct GuardFrame {
  EXCEPTION_REGISTRATION_RECORD registration;  // first: the system links it
  void* window;
  void* resume[5];  // __builtin_setjmp's buffer
};

// The head of the thread's frame chain, fs:[0].
EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

bool Catches(const EXCEPTION_RECORD& record) {
  const DWORD code = record.ExceptionCode;
  // Success and information codes are notifications, not failures; a stack
  // overflow has no stack left for a report here and goes its own way.
  if ((code >> 30) < 2) return false;
  return code != EXCEPTION_STACK_OVERFLOW;
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT* context, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  if (!Catches(*record) || rt::Runtime::Get().IsHandlerThread()) return ExceptionContinueSearch;
  auto* frame = static_cast<GuardFrame*>(establisher);
  try {
    const rt::SystemExceptionClass mapped = rt::MapSystemException(*record);
    if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
    ReportRequest request;
    request.object = mapped.object;
    request.address = reinterpret_cast<std::uintptr_t>(record->ExceptionAddress);
    request.context = context;
    request.systemRecord = record;
    request.source = kSourceWindowProc;
    request.relatedObject = frame->window;
    request.canContinue = true;
    ReportException(request);
  } catch (...) {
  }
  // The frames above the guard are given up; the guard's caller goes on.
  RtlUnwind(establisher, nullptr, record, nullptr);
  __builtin_longjmp(frame->resume, 1);
}

}  // namespace

bool RunGuarded(void* window, void (*call)(void*), void* state) {
  GuardFrame frame{};
  frame.window = window;
  frame.registration.Handler = reinterpret_cast<PEXCEPTION_ROUTINE>(&GuardHandler);
  frame.registration.Next = ChainHead();
  if (__builtin_setjmp(frame.resume)) {
    SetChainHead(frame.registration.Next);
    return false;
  }
  SetChainHead(&frame.registration);
  try {
    call(state);
  } catch (...) {
    // call catches its own; this only keeps the chain sound if it did not.
  }
  SetChainHead(frame.registration.Next);
  return true;
}

}  // namespace ostrel::detail
