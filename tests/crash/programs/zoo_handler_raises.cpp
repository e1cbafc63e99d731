// A handler that raises is skipped; the next handler runs.
// expect exit: 1
// expect output: raising handler ran
// expect output: phase 1 source 13 class std::logic_error continuable 0 thread main
// expect output: action 13
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
void Raising(ostrel::IExceptionReport*, bool&) {
  zoo::Say("raising handler ran");
  throw std::runtime_error("from a handler");
}
int main() {
  ostrel::RegisterExceptionHandler(Raising, ostrel::SyncMode::HandlerThread, 1);
  zoo::Watch();
  throw std::logic_error("the program's own");
}
