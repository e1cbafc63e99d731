// A C++ exception nobody catches in a std::thread.
// expect exit: 0
// expect output: phase 1 source 13 class std::runtime_error continuable 1 thread worker
// expect output: action 11
// expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
#include <thread>
int main() {
  zoo::Watch();
  std::thread([] { throw std::runtime_error("worker boom"); }).join();
  zoo::Say("main goes on");
}
