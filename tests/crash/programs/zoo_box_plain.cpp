// settings: box
// subsystem: windows
// The plain box with details (show setting 2): OK and Details; Details opens
// the full box with the details view; the plain box (3) has OK alone, which
// lets a continuable exception go on.
// expect exit: 0
// expect output: plain with details: OK|Details
// expect output: details opened the full box: yes
// expect output: plain: OK
// expect output: main goes on
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::atomic<int> g_round{0};

void Plain(ostrel::IExceptionReport* report, bool&) {
  report->SetShowMode(g_round++ == 0 ? ostrel::ShowMode::PlainWithDetails
                                     : ostrel::ShowMode::Plain);
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "|" : "") + items[i];
  return out;
}

void Drive() {
  const zoo::BoxSeen withDetails = zoo::WaitForBox(20000, "zoo_box_plain_details.bmp");
  zoo::Say("plain with details: %s", Join(withDetails.buttons).c_str());
  zoo::PressBoxButton(withDetails, "Details");
  zoo::WaitForBoxGone(withDetails.window, 10000);
  const zoo::BoxSeen full = zoo::WaitForBox(20000, nullptr);
  zoo::Say("details opened the full box: %s", !full.tabs.empty() ? "yes" : "no");
  zoo::PressBoxButton(full, "continue application");
  zoo::WaitForBoxGone(full.window, 10000);
  const zoo::BoxSeen plain = zoo::WaitForBox(20000, "zoo_box_plain.bmp");
  zoo::Say("plain: %s", Join(plain.buttons).c_str());
  zoo::PressBoxButton(plain, "OK");
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterExceptionHandler(Plain, ostrel::SyncMode::HandlerThread, 1);
  zoo::Detached(Drive);
  for (int i = 0; i < 2; ++i) {
    try {
      throw std::runtime_error("plain");
    } catch (...) {
      ostrel::ReportException(true);
    }
  }
  zoo::Finished();
  zoo::Say("main goes on");
}
