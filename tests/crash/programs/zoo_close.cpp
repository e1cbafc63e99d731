// Close: a continuable exception with AutoClose 1 ends the program with exit code 1.
// settings: close
// expect exit: 1
// expect output: phase 1 source 0 class std::runtime_error continuable 1 thread main
// expect output: action 13
// expect not: after the report
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
int main() {
  zoo::Watch();
  try {
    throw std::runtime_error("close me");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("after the report");
}
