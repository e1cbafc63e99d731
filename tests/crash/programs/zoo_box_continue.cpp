// settings: box
// subsystem: windows
// The full exception box for a continuable exception shows this build's
// buttons with send focused; continue lets the program go on.
// expect exit: 0
// expect output: buttons: send bug report|show bug report|continue application|restart application|close application
// expect output: all enabled: yes
// expect output: focused: send bug report
// expect output: action 11
// expect output: box gone: yes
// expect output: main goes on
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, "zoo_box_continue.bmp");
  std::string buttons;
  bool all = true;
  for (std::size_t i = 0; i < box.buttons.size(); ++i) {
    buttons += (i ? "|" : "") + box.buttons[i];
    all = all && box.enabled[i];
  }
  zoo::Say("buttons: %s", buttons.c_str());
  zoo::Say("all enabled: %s", all ? "yes" : "no");
  zoo::Say("focused: %s", box.focused.c_str());
  zoo::PressBoxButton(box, "continue application");
  zoo::Say("box gone: %s", zoo::WaitForBoxGone(box.window, 10000) ? "yes" : "no");
}

}  // namespace

int main() {
  zoo::Watch();
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("shown in the box");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  zoo::Say("main goes on");
}
