// settings: box
// subsystem: windows
// An exception the program cannot go on from: the box's continue button is
// disabled, and close ends the program with exit code 1.
// expect exit: 1
// expect output: continue application enabled: no
// expect output: action 13
// expect not: after the box
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, "zoo_box_close.bmp");
  for (std::size_t i = 0; i < box.buttons.size(); ++i) {
    if (box.buttons[i] == "continue application")
      zoo::Say("continue application enabled: %s", box.enabled[i] ? "yes" : "no");
  }
  zoo::PressBoxButton(box, "close application");
}

}  // namespace

int main() {
  zoo::Watch();
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("cannot go on");
  } catch (...) {
    ostrel::ReportException(false);
  }
  zoo::Say("after the box");
}
