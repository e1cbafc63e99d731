// An access violation inside a guarded window procedure: reported with
// source 5 and continuable; the message's sender gets the fallback, the
// frames of the fault are given up, and the program goes on.
// expect exit: 0
// expect output: phase 1 source 5 class EAccessViolation continuable 1 thread main
// expect output: message Access violation at address
// expect output: fallback 7
// expect output: second message answered 42
// expect output: main goes on
// emulated: qemu's memory faults arrive as illegal instructions
// emulated expect exit: 0
// emulated expect output: phase 1 source 5 class EOstrelError continuable 1 thread main
// emulated expect output: message External exception C000001D
// emulated expect output: fallback 7
// emulated expect output: second message answered 42
// emulated expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

volatile int* target = nullptr;

__attribute__((noinline)) int Fault() {
  *target = 1;
  return 1;
}

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return ostrel::GuardWindowProc(
      w,
      [&]() -> LRESULT {
        if (m == WM_USER) return Fault();
        if (m == WM_USER + 1) return 42;
        return DefWindowProcW(w, m, wp, lp);
      },
      LRESULT(7));
}

}  // namespace

int main() {
  zoo::Watch();
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = L"ZooWindow";
  wc.hInstance = GetModuleHandleW(nullptr);
  RegisterClassW(&wc);
  HWND w =
      CreateWindowW(L"ZooWindow", L"zoo", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  if (!w) zoo::Say("no window");
  zoo::Say("fallback %d", static_cast<int>(SendMessageW(w, WM_USER, 0, 0)));
  // The guard's frame is off the chain again: a second message runs normally.
  zoo::Say("second message answered %d", static_cast<int>(SendMessageW(w, WM_USER + 1, 0, 0)));
  DestroyWindow(w);
  zoo::Say("main goes on");
}
