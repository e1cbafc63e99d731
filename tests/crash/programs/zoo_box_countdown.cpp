// settings: box
// subsystem: windows
// The count-down on the automatic continue: it presses continue by itself
// after AutoDelay; a focus change between the buttons stops it; with
// AutoDelay 0 it never fires.
// expect exit: 0
// expect within: 60
// expect output: pressed by itself: yes
// expect output: after a focus change still open: yes
// expect output: with no delay still open: yes
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

void Automatic(ostrel::IExceptionReport* report, bool&) {
  report->SetAutoContinue(true);
  report->SetAutoDelay(g_round++ < 2 ? 1 : 0);
}

void Drive() {
  const zoo::BoxSeen first = zoo::WaitForBox(20000, "zoo_box_countdown.bmp");
  zoo::Say("pressed by itself: %s", zoo::WaitForBoxGone(first.window, 8000) ? "yes" : "no");
  const zoo::BoxSeen second = zoo::WaitForBox(20000, nullptr);
  // The Tab key moves the focus to the next button.
  zoo::PressBoxKey(second, VK_TAB);
  zoo::Say("after a focus change still open: %s",
           zoo::WaitForBoxGone(second.window, 3000) ? "no" : "yes");
  zoo::PressBoxButton(second, "continue application");
  zoo::WaitForBoxGone(second.window, 10000);
  const zoo::BoxSeen third = zoo::WaitForBox(20000, nullptr);
  zoo::Say("with no delay still open: %s", zoo::WaitForBoxGone(third.window, 2500) ? "no" : "yes");
  zoo::PressBoxButton(third, "continue application");
  zoo::WaitForBoxGone(third.window, 10000);
}

}  // namespace

int main() {
  ostrel::RegisterExceptionHandler(Automatic, ostrel::SyncMode::HandlerThread, 1);
  zoo::Detached(Drive);
  for (int i = 0; i < 3; ++i) {
    try {
      throw std::runtime_error("counted down");
    } catch (...) {
      ostrel::ReportException(true);
    }
  }
  zoo::Finished();
  zoo::Say("main goes on");
}
