// A top-level window class whose messages go to a C++ object. Every handler
// runs inside a guard: C++ exceptions must never unwind through user32.
#pragma once

#include <windows.h>

namespace pelmora {

class WindowBase {
 public:
  virtual ~WindowBase() = default;
  HWND Handle() const { return hwnd_; }

 protected:
  // Registers the class once and creates the window (hidden).
  bool CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style, DWORD exStyle,
                      HWND owner);
  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
  }

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

}  // namespace pelmora
