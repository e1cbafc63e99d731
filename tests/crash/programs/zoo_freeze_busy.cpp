// A main thread busy for a little less than the timeout is not reported.
// settings: freeze
// expect exit: 0
// expect not: EFrozen
// expect output: main done
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    Sleep(700);
    const DWORD until = GetTickCount() + 300;
    while (GetTickCount() < until) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(5);
    }
  }
  zoo::Say("main done");
}
