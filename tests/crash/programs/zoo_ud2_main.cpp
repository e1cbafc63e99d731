// An illegal instruction: the run-time has no class for it.
// expect exit: 1
// expect output: phase 1 source 14 class EOstrelError continuable 0 thread main message External
// exception C000001D.
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  asm volatile("ud2");
}
