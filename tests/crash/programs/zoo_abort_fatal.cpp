// An EAbort that may not continue ends the program at once, silently.
// expect exit: 1
// expect not: phase 1
// expect not: after the abort
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  try {
    throw ostrel::EAbort();
  } catch (...) {
    ostrel::ReportException(false);
  }
  zoo::Say("after the abort");
}
