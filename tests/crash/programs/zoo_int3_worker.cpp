// A breakpoint instruction in a worker.
// expect exit: 1
// expect output: phase 1 source 14 class EOstrelError continuable 0 thread worker
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  zoo::InThread([] { asm volatile("int3"); });
}
