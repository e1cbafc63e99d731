// settings: freeze
// symbols: embed
// A freeze report shows where the blocked main thread waits, read when the
// report is made, not the watcher's own stack; the report's thread list
// gives the main thread's id and call stack as well.
// expect exit: 0
// expect output: phase 1 source 1 class EFrozen continuable 1 thread main
// expect output: main thread section shows MainBlocked: yes
// expect output: first thread of the report is the main thread: yes
// expect output: its call stack shows MainBlocked: yes
// expect output: main woke up
#include <windows.h>

#include <atomic>
#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::atomic<bool> g_reported{false};

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport* report, bool&) {
  if (action != ostrel::kActionContinue || g_reported) return;
  std::u16string wide;
  report->FinishedReportText(wide);
  const std::string text(wide.begin(), wide.end());
  const std::size_t at = text.find("\r\n\r\nmain thread (");
  const std::size_t end = at == std::string::npos ? at : text.find("\r\n\r\n", at + 4);
  const std::string section = at == std::string::npos ? "" : text.substr(at, end - at);
  zoo::Say("main thread section shows MainBlocked: %s",
           section.find("MainBlocked") != std::string::npos ? "yes" : "no");
  zoo::Say("first thread of the report is the main thread: %s",
           report->ThreadStackId(0) == ostrel::MainThreadId() ? "yes" : "no");
  std::u16string stack;
  report->ThreadCallStack(0, stack);
  zoo::Say("its call stack shows MainBlocked: %s",
           std::string(stack.begin(), stack.end()).find("MainBlocked") != std::string::npos ? "yes"
                                                                                            : "no");
  if (section.find("MainBlocked") == std::string::npos) zoo::Say("report:\r\n%s", section.c_str());
  g_reported = true;
}

__attribute__((noinline)) void MainBlocked() {
  // Blocked without serving messages until the report is made.
  while (!g_reported) Sleep(20);
  asm volatile("" ::: "memory");
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  MainBlocked();
  zoo::Say("main woke up");
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}
