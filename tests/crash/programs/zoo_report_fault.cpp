// settings: report
// symbols: embed
// An access violation in the main thread, with a named worker waiting: the
// saved report names the faulting function and line, lists the worker, and
// a second run of the same crash counts 2.
// expect exit: 1
// expect output: worker waits
// expect report class: EAccessViolation
// expect report function: FaultHere
// expect report line: the faulting store
// expect report thread: zoo worker
// expect report fault: processor
// emulated: the emulator's memory faults arrive as illegal instructions
// emulated expect exit: 1
// emulated expect output: worker waits
// emulated expect report class: EOstrelError
// emulated expect report function: FaultHere
// emulated expect report line: the faulting store
// emulated expect report thread: zoo worker
// emulated expect report fault: processor
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

__attribute__((noinline)) void FaultHere(volatile int* target) {
  *target = 1;  // the faulting store
}

HANDLE g_ready, g_never;

DWORD WINAPI Waiter(void*) {
  ostrel::SetThreadName(GetCurrentThreadId(), u"zoo worker");
  SetEvent(g_ready);
  WaitForSingleObject(g_never, INFINITE);
  return 0;
}

__attribute__((noinline)) void Work(volatile int* target) {
  FaultHere(target);
  zoo::Say("after the fault");
}

}  // namespace

int main() {
  zoo::Watch();
  g_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE worker = CreateThread(nullptr, 0, Waiter, nullptr, 0, nullptr);
  WaitForSingleObject(g_ready, INFINITE);
  zoo::Say("worker waits");
  Work(nullptr);
  CloseHandle(worker);
}
