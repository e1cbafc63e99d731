// settings: box_save
// subsystem: windows
// The automatic save happens once the box has closed, so that a field a
// handler adds while the box is shown is in the saved report.
// expect exit: 0
// expect output: saved while the box was open: no
// expect output: action 11
// expect output: saved report holds the field: yes
#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

bool Saved() { return GetFileAttributesW(L"zoo_box_save_report.txt") != INVALID_FILE_ATTRIBUTES; }

void OnContinue(ostrel::ReportAction action, ostrel::IExceptionReport* report, bool&) {
  if (action == ostrel::kActionContinue)
    report->ReportHeader()->SetField(u"added while shown", u"by the continue handler");
}

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  // The report is complete long before the user decides.
  Sleep(3000);
  zoo::Say("saved while the box was open: %s", Saved() ? "yes" : "no");
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 10000);
}

}  // namespace

int main() {
  DeleteFileW(L"zoo_box_save_report.txt");
  zoo::Watch();
  ostrel::RegisterActionHandler(OnContinue, ostrel::SyncMode::HandlerThread);
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("saved after the box");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  std::ifstream in("zoo_box_save_report.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  zoo::Say("saved report holds the field: %s",
           text.str().find("added while shown") != std::string::npos ? "yes" : "no");
  in.close();
  DeleteFileW(L"zoo_box_save_report.txt");
}
