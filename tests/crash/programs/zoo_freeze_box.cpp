// settings: freeze_box
// subsystem: windows
// A frozen main thread is shown in the box; once the main thread serves its
// messages again, the box closes by itself.
// expect exit: 0
// expect output: phase 1 source 1 class EFrozen continuable 1 thread main
// expect output: box shown: yes
// expect output: box closed by itself: yes
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

int main() {
  zoo::Watch();
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  // Blocked, serving no messages, until the freeze is shown.
  HWND box = nullptr;
  for (int waited = 0; !box && waited < 20000; waited += 50) {
    Sleep(50);
    box = FindWindowW(L"OstrelWndClass", nullptr);
  }
  zoo::Say("box shown: %s", box ? "yes" : "no");
  // Serving messages again: the box's probe is answered.
  for (int waited = 0; box && IsWindow(box) && waited < 10000; waited += 10) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  zoo::Say("box closed by itself: %s", box && !IsWindow(box) ? "yes" : "no");
  // Later reports, if any, find nothing frozen.
  for (int i = 0; i < 50; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
}
