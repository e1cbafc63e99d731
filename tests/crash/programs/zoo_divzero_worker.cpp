// An integer division by zero in a thread made with _beginthreadex.
// expect exit: 0
// expect output: phase 1 source 13 class EDivByZero continuable 1 thread worker
// expect output: main goes on
// emulated: qemu's user-mode emulator hands Wine an integer division fault as a
// floating-point one
// emulated expect exit: 0
// emulated expect output: phase 1 source 13 class EInvalidOp continuable 1 thread worker
// emulated expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <process.h>
unsigned __stdcall Work(void*) {
  volatile int zero = 0;
  volatile int x = 7 / zero;
  return x;
}
int main() {
  zoo::Watch();
  HANDLE t = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Work, nullptr, 0, nullptr));
  WaitForSingleObject(t, INFINITE);
  zoo::Say("main goes on");
}
