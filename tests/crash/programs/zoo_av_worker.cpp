// An access violation in a worker: continuable; the worker ends, the program goes on.
// expect exit: 0
// expect output: phase 1 source 13 class EAccessViolation continuable 1 thread worker
// expect output: action 11
// expect output: main goes on
// expect not: worker goes on
// emulated: qemu's user-mode emulator hands Wine a memory fault without its trap
// number, which Wine takes for an illegal instruction
// emulated expect exit: 1
// emulated expect output: phase 1 source 14 class EOstrelError continuable 0 thread worker
// emulated expect not: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  zoo::InThread([] {
    *static_cast<volatile int*>(nullptr) = 1;
    zoo::Say("worker goes on");
  });
  zoo::Say("main goes on");
}
