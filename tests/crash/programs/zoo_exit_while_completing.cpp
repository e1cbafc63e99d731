// settings: no_wait
// A program that goes on after a continuable exception and ends at once,
// while the report is still being completed in the background: it ends
// cleanly (the exit waits for the completion, which reads objects the exit
// would destroy).
// expect exit: 0
// expect output: reported std::runtime_error
// expect output: action 11
// expect output: main ends
// expect not: Unhandled
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

// No phase-4 handler: one would make the handling wait for the report.
void OnPhaseOne(ostrel::IExceptionReport* report, bool&) {
  std::u16string cls;
  report->ExceptionClassName(cls);
  zoo::Say("reported %s", std::string(cls.begin(), cls.end()).c_str());
}

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport*, bool&) {
  zoo::Say("action %d", static_cast<int>(action));
}

}  // namespace

int main() {
  ostrel::RegisterExceptionHandler(OnPhaseOne, ostrel::SyncMode::HandlerThread, 1);
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  try {
    throw std::runtime_error("ends at once");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("main ends");
  return 0;
}
