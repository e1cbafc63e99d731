// The system's heap-corruption exception: the run-time's final error.
// expect exit: 1
// expect output: phase 1 source 11 class EOstrelError continuable 0 thread main message Runtime
// error: the heap is corrupted.
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  RaiseException(0xC0000374, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}
