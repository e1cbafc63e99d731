// A breakpoint instruction with no debugger.
// expect exit: 1
// expect output: phase 1 source 14 class EOstrelError continuable 0 thread main message External
// exception 80000003.
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  asm volatile("int3");
}
