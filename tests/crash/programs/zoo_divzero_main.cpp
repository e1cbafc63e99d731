// An integer division by zero in the main thread.
// expect exit: 1
// expect output: phase 1 source 13 class EDivByZero continuable 0 thread main message Division by
// zero. emulated: qemu's user-mode emulator hands Wine an integer division fault as a
// floating-point one
// emulated expect exit: 1
// emulated expect output: phase 1 source 13 class EInvalidOp continuable 0 thread main
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  volatile int zero = 0;
  volatile int x = 7 / zero;
  (void)x;
}
