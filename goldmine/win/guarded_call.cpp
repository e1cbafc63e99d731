#include "goldmine/win/guarded_call.h"

#include <windows.h>

namespace pelmora {

namespace {

// Laid out as the system's exception registration record, which it extends.
struct GuardFrame {
  GuardFrame* next;
  void* handler;
  void* resume[5];  // __builtin_setjmp buffer
};

GuardFrame* ChainHead() {
  GuardFrame* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(GuardFrame* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

// Only reached when no frame inside the call handled the exception.
EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher, CONTEXT*,
                                           void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  auto* frame = static_cast<GuardFrame*>(establisher);
  // Lets the library's own frames clean up, then drops them from the chain.
  RtlUnwind(frame, nullptr, record, nullptr);
  __builtin_longjmp(frame->resume, 1);
}

}  // namespace

__attribute__((noinline)) bool CallGuarded(void (*fn)(void*), void* arg) {
  GuardFrame frame{};
  frame.handler = reinterpret_cast<void*>(&GuardHandler);
  frame.next = ChainHead();
  if (__builtin_setjmp(frame.resume) != 0) {
    SetChainHead(frame.next);
    return false;
  }
  SetChainHead(&frame);
  fn(arg);
  SetChainHead(frame.next);
  return true;
}

}  // namespace pelmora
