#include "app/win/window_base.h"

#include "ostrel/ostrel.h"

namespace pelmora {

bool WindowBase::CreateTopLevel(const wchar_t* className, const wchar_t* caption, DWORD style,
                                DWORD exStyle, HWND owner) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(instance, className, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Dispatch;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!RegisterClassExW(&wc)) return false;
  }
  hwnd_ = CreateWindowExW(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, 100,
                          100, owner, nullptr, instance, this);
  return hwnd_ != nullptr;
}

LRESULT CALLBACK WindowBase::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowBase* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return ostrel::GuardWindowProc(
      hwnd, [&] { return self->HandleMessage(msg, wParam, lParam); }, LRESULT(0));
}

}  // namespace pelmora
