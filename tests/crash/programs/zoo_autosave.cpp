// settings: autosave
// Every handled report is appended to the bug report file; a save that
// cannot write its new copy leaves the file as it was.
// expect exit: 0
// expect output: reports after two 2
// expect output: first report begins with date/time 1
// expect output: after a failed save still 2 sound 1
// expect output: reports after the folder went 3
#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::wstring Beside(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.rfind(L'\\') + 1) + name;
}

std::string Read(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// Every report begins with its "date/time" line.
int Reports(const std::string& file) {
  int n = file.rfind("date/time", 0) == 0 ? 1 : 0;
  for (std::size_t at = file.find("\r\ndate/time"); at != std::string::npos;
       at = file.find("\r\ndate/time", at + 1)) {
    ++n;
  }
  return n;
}

// A function of its own per report: reports of one function and line
// would count as repeats of one report.
template <int N>
__attribute__((noinline)) void Raise(const char* what) {
  volatile int own = N;  // keeps the copies apart: the linker folds equal code
  (void)own;
  try {
    throw std::runtime_error(what);
  } catch (...) {
    ostrel::ReportException(true);
  }
}

}  // namespace

int main() {
  const std::wstring file = Beside(L"zoo_autosave_report.txt");
  const std::wstring saving = file + L".saving";
  DeleteFileW(file.c_str());
  RemoveDirectoryW(saving.c_str());
  Raise<1>("first");
  Raise<2>("second");
  const std::string two = Read(file);
  zoo::Say("reports after two %d", Reports(two));
  zoo::Say("first report begins with date/time %d", two.rfind("date/time", 0) == 0 ? 1 : 0);
  // A folder where the new copy would go: the save fails before the file.
  CreateDirectoryW(saving.c_str(), nullptr);
  Raise<3>("third");
  const std::string after = Read(file);
  zoo::Say("after a failed save still %d sound %d", Reports(after), after == two ? 1 : 0);
  RemoveDirectoryW(saving.c_str());
  Raise<4>("fourth");
  zoo::Say("reports after the folder went %d", Reports(Read(file)));
  DeleteFileW(file.c_str());
}
