// A thread started by a library loaded after start-up is listed in the
// report with the library's call as its creation.
// expect exit: 0
// expect output: library thread started: yes
// expect output: action 11
// expect output: the library's thread has a section: yes
// expect output: created by the main thread: yes
// expect output: in the report's thread list: yes
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

DWORD g_lateId = 0;

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport* report, bool&) {
  if (action != ostrel::kActionContinue) return;
  std::u16string wide;
  report->FinishedReportText(wide);
  const std::string text(wide.begin(), wide.end());
  char title[32];
  std::snprintf(title, sizeof title, "\r\n\r\nthread $%lx", static_cast<unsigned long>(g_lateId));
  const std::size_t at = text.find(title);
  const std::size_t end = at == std::string::npos ? at : text.find("\r\n\r\n", at + 4);
  const std::string section = at == std::string::npos ? "" : text.substr(at, end - at);
  zoo::Say("the library's thread has a section: %s", section.empty() ? "no" : "yes");
  zoo::Say("created by the main thread: %s",
           section.find(">> created by main thread") != std::string::npos ? "yes" : "no");
  bool listed = false;
  for (int i = 0; report->ThreadStackId(i) != 0; ++i) {
    if (report->ThreadStackId(i) == g_lateId) listed = true;
  }
  zoo::Say("in the report's thread list: %s", listed ? "yes" : "no");
  if (section.empty()) zoo::Say("report:\r\n%s", text.c_str());
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  HMODULE library = LoadLibraryW(L"zoo_late_library.dll");
  using Start = DWORD (*)(HANDLE);
  const auto start = library ? reinterpret_cast<Start>(reinterpret_cast<void*>(
                                   GetProcAddress(library, "StartLateThread")))
                             : nullptr;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_lateId = start ? start(event) : 0;
  zoo::Say("library thread started: %s", g_lateId ? "yes" : "no");
  try {
    throw std::runtime_error("late");
  } catch (...) {
    ostrel::ReportException(true);
  }
  SetEvent(event);
}
