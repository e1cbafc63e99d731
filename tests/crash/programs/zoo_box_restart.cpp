// settings: box
// subsystem: windows
// "restart application" in the box ends the program with exit code 2 and
// starts it again; the new instance knows the exception times.
// expect exit: 2
// expect output: action 12
// expect file: zoo_box_restart.txt: restarted with 1 exception time
#include <windows.h>

#include <fstream>
#include <stdexcept>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxButton(box, "restart application");
}

}  // namespace

int main() {
  std::uint64_t times[10];
  ostrel::ExceptionTimes(times);
  if (times[0] != 0) {
    int n = 0;
    for (std::uint64_t t : times) n += t != 0;
    std::ofstream("zoo_box_restart.txt")
        << "restarted with " << n << " exception time" << (n == 1 ? "" : "s") << "\n";
    return 0;
  }
  DeleteFileW(L"zoo_box_restart.txt");
  zoo::Watch();
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("restart from the box");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("not restarted");
}
