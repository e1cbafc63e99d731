// A fault on the reporter's own thread: the thread ends and the raising thread
// handles its exception itself.
// expect exit: 1
// expect output: faulting handler ran
// expect output: phase 1 source 13 class EAccessViolation continuable 0 thread main
// expect output: action 13
// expect within: 30
// emulated: qemu's user-mode emulator hands Wine a memory fault without its
// trap number, which Wine takes for an illegal instruction
// emulated expect exit: 1
// emulated expect output: faulting handler ran
// emulated expect output: phase 1 source 14 class EOstrelError continuable 0 thread main
// emulated expect output: action 13
// emulated expect within: 30
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

volatile bool faulted = false;
void Faulting(ostrel::IExceptionReport*, bool&) {
  if (faulted) return;
  faulted = true;
  zoo::Say("faulting handler ran");
  *static_cast<volatile int*>(nullptr) = 2;
}
int main() {
  ostrel::RegisterExceptionHandler(Faulting, ostrel::SyncMode::HandlerThread, 1);
  zoo::Watch();
  *static_cast<volatile int*>(nullptr) = 1;
}
