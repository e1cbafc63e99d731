// A main thread blocked for good is reported after the timeout, and again after 1.5 times as long.
// settings: freeze
// expect exit: 0
// expect count: 2 phase 1 source 1 class EFrozen continuable 1 thread main
// expect output: second report 1.5 times the timeout after the first: yes
// expect output: main woke up
#include <windows.h>

#include <atomic>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::atomic<int> g_reports{0};
std::atomic<DWORD> g_firstEnded{0}, g_secondAt{0};

void OnFreeze(ostrel::IExceptionReport*, bool&) {
  if (++g_reports == 2) g_secondAt = GetTickCount();
}

void OnAction(ostrel::ReportAction, ostrel::IExceptionReport*, bool&) {
  if (g_reports == 1) g_firstEnded = GetTickCount();
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterExceptionHandler(OnFreeze, ostrel::SyncMode::HandlerThread, 1);
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  // Blocked (no messages) until the second report; probes every 100 ms.
  for (int waited = 0; g_reports < 2 && waited < 15000; waited += 50) Sleep(50);
  const DWORD gap = g_secondAt - g_firstEnded;
  zoo::Say("second report 1.5 times the timeout after the first: %s",
           g_reports >= 2 && gap >= 1400 ? "yes" : "no");
  zoo::Say("main woke up");
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}
