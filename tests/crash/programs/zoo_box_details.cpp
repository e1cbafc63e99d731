// settings: box
// subsystem: windows
// "show bug report" opens the box again with the details view: tabs for the
// header and the call stack first, the header listed row by row; the show
// button is gone there, and continue still goes on.
// expect exit: 0
// expect output: action 9
// expect output: first tabs: general|call stack
// expect output: general rows: more than 10
// expect output: show button in the details box: no
// expect output: call stack rows: more than 2
// expect output: action 11
// expect output: main goes on
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

void Drive() {
  const zoo::BoxSeen first = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxButton(first, "show bug report");
  zoo::WaitForBoxGone(first.window, 10000);
  const zoo::BoxSeen box = zoo::WaitForBox(20000, "zoo_box_details.bmp");
  std::string tabs;
  for (std::size_t i = 0; i < box.tabs.size() && i < 2; ++i) tabs += (i ? "|" : "") + box.tabs[i];
  zoo::Say("first tabs: %s", tabs.c_str());
  zoo::Say("general rows: %s", box.listRows > 10 ? "more than 10" : "10 or fewer");
  bool show = false;
  for (const std::string& b : box.buttons) show = show || b == "show bug report";
  zoo::Say("show button in the details box: %s", show ? "yes" : "no");
  std::string all;
  for (const std::string& t : box.tabs) all += t + "|";
  zoo::Say("all tabs: %s", all.c_str());
  const std::string stacks = box.tabs.size() > 1 ? box.tabs[1] : "";
  zoo::SelectBoxTab(box, stacks);
  const zoo::BoxSeen again = zoo::WaitForBox(5000, "zoo_box_callstack.bmp");
  zoo::Say("call stack rows: %s", again.listRows > 2 ? "more than 2" : "2 or fewer");
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 10000);
}

}  // namespace

int main() {
  zoo::Watch();
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("details wanted");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  zoo::Say("main goes on");
}
