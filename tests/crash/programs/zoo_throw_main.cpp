// A C++ exception nobody catches in the main thread.
// expect exit: 1
// expect output: phase 1 source 13 class std::runtime_error continuable 0 thread main
// expect output: message boom. name main thread
// expect output: action 13
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
int main() {
  zoo::Watch();
  throw std::runtime_error("boom");
}
