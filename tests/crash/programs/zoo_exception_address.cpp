// symbols: embed
// An exception reported at a call's return address minus 4 (inside the
// call's displacement) is moved on to the return address; one reported at
// an instruction stays where it is. Needs the program's own symbols.
// expect exit: 0
// expect output: inside the call moved 1
// expect output: at the return address kept 1
#include <windows.h>

#include <cstdint>
#include <stdexcept>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

volatile std::uintptr_t seen = 0;
void Remember(ostrel::IExceptionReport* report, bool&) { seen = report->FaultAddress(); }

__attribute__((noinline)) std::uintptr_t Callee() {
  return reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
}

std::uintptr_t ReportedAs(std::uintptr_t address) {
  seen = 0;
  try {
    throw std::runtime_error("placed");
  } catch (...) {
    ostrel::ReportRequest request;
    request.address = address;
    ostrel::ReportException(request);
  }
  return seen;
}

}  // namespace

int main() {
  ostrel::RegisterExceptionHandler(Remember, ostrel::SyncMode::HandlerThread, 1);
  const std::uintptr_t back = Callee();  // the return address of this call
  zoo::Say("inside the call moved %d", ReportedAs(back - 4) == back ? 1 : 0);
  zoo::Say("at the return address kept %d", ReportedAs(back) == back ? 1 : 0);
}
