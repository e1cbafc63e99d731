// settings: report
// symbols: embed
// A C++ exception nobody catches in a worker: the saved report shows the
// throwing statement first, in the worker's section, and the main thread;
// the program's own plug-ins add a section and a header field, and a
// handler's field lands directly before the checksums.
// expect exit: 0
// expect output: main goes on
// expect report class: std::runtime_error
// expect report function: ThrowHere
// expect report line: throw std::runtime_error
// expect report thread: main thread
// expect report section: zoo list
// expect report field: zoo field = from the zoo
// expect report field: zoo header = set by a handler
// expect report field before crc: zoo header
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

void AddField(ostrel::IExceptionReport* report, bool&) {
  report->ReportHeader()->SetField(u"zoo header", u"  set by a handler\r\n");
}

__attribute__((noinline)) void ThrowHere(int n) {
  if (n > 0) throw std::runtime_error("report boom");
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterExceptionHandler(AddField, ostrel::SyncMode::HandlerThread, 2);
  ostrel::AddReportPlugin(
      u"zoo list", u"a section of the program's", [] { return std::u16string(u"one\r\ntwo"); },
      true);
  ostrel::AddReportPlugin(
      u"zoo field", u"a header field of the program's",
      [] { return std::u16string(u"from the zoo"); }, false);
  std::thread([] { ThrowHere(1); }).join();
  zoo::Say("main goes on");
}
