// settings: report
// symbols: embed
// A C++ exception nobody catches in a worker: the saved report shows the
// throwing statement first, in the worker's section, and the main thread.
// expect exit: 0
// expect output: main goes on
// expect report class: std::runtime_error
// expect report function: ThrowHere
// expect report line: throw std::runtime_error
// expect report thread: main thread
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "zoo_support.h"
#include "crash/core/handling/ostrel.h"

namespace {

__attribute__((noinline)) void ThrowHere(int n) {
  if (n > 0) throw std::runtime_error("report boom");
}

}  // namespace

int main() {
  zoo::Watch();
  std::thread([] { ThrowHere(1); }).join();
  zoo::Say("main goes on");
}
