// An exception escaping a window procedure through the guard.
// expect exit: 0
// expect output: phase 1 source 5 class std::runtime_error continuable 1 thread main
// expect output: main goes on
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <stdexcept>
LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return ostrel::GuardWindowProc(
      w,
      [&]() -> LRESULT {
        if (m == WM_USER) throw std::runtime_error("in a window");
        return DefWindowProcW(w, m, wp, lp);
      },
      LRESULT(0));
}
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
  SendMessageW(w, WM_USER, 0, 0);
  DestroyWindow(w);
  zoo::Say("main goes on");
}
