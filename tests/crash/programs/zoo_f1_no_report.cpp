// settings: f1_no_report
// An exception of the group that makes no bug report gets none, although the
// automatic save is on: no lists, no file, no phase 4. An exception of the
// other group is saved, and its phase-4 handler runs once.
// expect exit: 0
// expect output: phase 1 source 0 class EZooF1 continuable 1 thread main
// expect output: file after the F1 exception: no
// expect output: phase 4 reached for std::runtime_error
// expect output: file after the other exception: yes
// expect count: 1 phase 4 reached for std::runtime_error
// expect not: phase 4 reached for EZooF1
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

struct EZooF1 : std::runtime_error {
  EZooF1() : std::runtime_error("f1") {}
};

namespace {

void OnComplete(ostrel::IExceptionReport* report, bool&) {
  std::u16string cls;
  report->ExceptionClassName(cls);
  zoo::Say("phase 4 reached for %s", std::string(cls.begin(), cls.end()).c_str());
}

bool FileThere() { return GetFileAttributesW(L"zoo_f1_report.txt") != INVALID_FILE_ATTRIBUTES; }

}  // namespace

int main() {
  DeleteFileW(L"zoo_f1_report.txt");
  zoo::Watch();
  ostrel::RegisterExceptionHandler(OnComplete, ostrel::SyncMode::HandlerThread, 4);
  try {
    throw EZooF1();
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("file after the F1 exception: %s", FileThere() ? "yes" : "no");
  try {
    throw std::runtime_error("other");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Say("file after the other exception: %s", FileThere() ? "yes" : "no");
  DeleteFileW(L"zoo_f1_report.txt");
}
