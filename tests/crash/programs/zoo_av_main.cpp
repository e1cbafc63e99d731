// An access violation in the main thread: not continuable, the program closes.
// expect exit: 1
// expect output: phase 1 source 13 class EAccessViolation continuable 0 thread main
// expect output: message Access violation at address
// expect output: phase 2 source 13
// expect output: action 13
// emulated: qemu's user-mode emulator hands Wine a memory fault without its trap
// number, which Wine takes for an illegal instruction
// emulated expect exit: 1
// emulated expect output: phase 1 source 14 class EOstrelError continuable 0 thread main
// emulated expect output: message External exception C000001D
// emulated expect output: action 13
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  *static_cast<volatile int*>(nullptr) = 1;
  zoo::Say("after the fault");
}
