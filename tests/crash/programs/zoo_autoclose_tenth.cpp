// AutoClose 60: the tenth exception within a minute closes the program, the ninth does not.
// settings: autoclose
// expect exit: 1
// expect output: survived 9
// expect not: survived 10
// expect count: 9 action 11
// expect count: 1 action 13
// expect within: 60
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
int main() {
  zoo::Watch();
  for (int i = 1; i <= 10; ++i) {
    try {
      throw std::runtime_error("again");
    } catch (...) {
      ostrel::ReportException(true);
    }
    zoo::Say("survived %d", i);
  }
}
