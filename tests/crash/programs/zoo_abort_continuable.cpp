// An EAbort reported as continuable is silent and the program goes on.
// expect exit: 0
// expect not: phase 1
// expect output: after the abort
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  try {
    throw ostrel::EAbort();
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("after the abort");
}
