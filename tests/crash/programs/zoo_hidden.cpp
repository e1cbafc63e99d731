// An exception the program handles itself reaches the hidden-exception handlers.
// expect exit: 0
// expect output: handled by the program
// expect output: hidden source 15 class std::out_of_range
// expect not: phase 1
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
void Hidden(ostrel::IExceptionReport* r, bool&) {
  std::u16string cls;
  r->ExceptionClassName(cls);
  zoo::Say("hidden source %u class %s", r->InterceptionSource(),
           std::string(cls.begin(), cls.end()).c_str());
}
int main() {
  zoo::Watch();
  ostrel::RegisterHiddenExceptionHandler(Hidden, ostrel::SyncMode::HandlerThread);
  try {
    throw std::out_of_range("index");
  } catch (const std::exception&) {
    zoo::Say("handled by the program");
  }
}
