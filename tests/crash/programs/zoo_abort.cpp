// abort(): the run-time's final error.
// expect exit: 1
// expect output: phase 1 source 11 class EOstrelError continuable 0 thread main message Runtime
// error: abort was called.
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <cstdlib>
int main() {
  zoo::Watch();
  std::abort();
}
