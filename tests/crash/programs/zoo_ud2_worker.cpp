// An illegal instruction in a worker: unmapped, so not continuable even there.
// expect exit: 1
// expect output: phase 1 source 14 class EOstrelError continuable 0 thread worker
// expect not: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  zoo::InThread([] { asm volatile("ud2"); });
  zoo::Say("main goes on");
}
