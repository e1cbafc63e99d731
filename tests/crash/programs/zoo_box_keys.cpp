// settings: box
// subsystem: windows
// Keys in the box: F1 fires action 10; Ctrl+C copies the exception's
// message, and in the details view the whole report.
// expect exit: 0
// expect output: action 10
// expect output: copied before the details: keys pressed.
// expect output: copied in the details view: the report
// expect output: main goes on
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::string Clipboard() {
  std::string text;
  for (int tries = 0; tries < 20 && !OpenClipboard(nullptr); ++tries) Sleep(50);
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      for (; *wide; ++wide) text += *wide < 128 ? static_cast<char>(*wide) : '?';
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void CtrlC(const zoo::BoxSeen& box) {
  zoo::HoldBoxKey(box, VK_CONTROL, true);
  zoo::PressBoxKey(box, 'C');
  zoo::HoldBoxKey(box, VK_CONTROL, false);
  Sleep(500);
}

// The automatic copy would put the report there as soon as it is complete.
void NoAutomaticCopy(ostrel::IExceptionReport* report, bool&) { report->SetAutoClip(false); }

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxKey(box, VK_F1);
  Sleep(300);
  CtrlC(box);
  zoo::Say("copied before the details: %s", Clipboard().c_str());
  zoo::PressBoxButton(box, "show bug report");
  zoo::WaitForBoxGone(box.window, 10000);
  const zoo::BoxSeen details = zoo::WaitForBox(20000, nullptr);
  CtrlC(details);
  const std::string copied = Clipboard();
  zoo::Say("copied in the details view: %s",
           copied.rfind("date/time", 0) == 0 ? "the report" : copied.c_str());
  zoo::PressBoxButton(details, "continue application");
  zoo::WaitForBoxGone(details.window, 10000);
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterExceptionHandler(NoAutomaticCopy, ostrel::SyncMode::HandlerThread, 1);
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("keys pressed");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  zoo::Say("main goes on");
}
