#include "app/win/ui_support.h"

#include <vector>

#include "ostrel/ostrel.h"

namespace pelmora {

HFONT CreateUiFont(int height, bool bold) {
  return CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

HWND CreateChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y,
                 int w, int h, int id, HFONT font, DWORD exStyle) {
  HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (hwnd && font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

std::wstring WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::vector<wchar_t> buffer(static_cast<std::size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd, buffer.data(), n + 1);
  return std::wstring(buffer.data());
}

void PlaceWindow(HWND hwnd, int left, int top, int clientWidth, int clientHeight) {
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
  SetWindowPos(hwnd, nullptr, left, top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {
BOOL CALLBACK DisableOthers(HWND hwnd, LPARAM lParam) {
  return ostrel::GuardWindowProc(
      hwnd,
      [&]() -> BOOL {
        auto* list = reinterpret_cast<std::vector<HWND>*>(lParam);
        if (hwnd != list->front() && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
          EnableWindow(hwnd, FALSE);
          list->push_back(hwnd);
        }
        return TRUE;
      },
      BOOL(FALSE));
}
}  // namespace

int RunModal(HWND dialog, int* result) {
  *result = 0;
  std::vector<HWND> disabled{dialog};
  EnumThreadWindows(GetCurrentThreadId(), DisableOthers, reinterpret_cast<LPARAM>(&disabled));
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  MSG msg;
  while (*result == 0) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  for (std::size_t i = 1; i < disabled.size(); ++i) EnableWindow(disabled[i], TRUE);
  ShowWindow(dialog, SW_HIDE);
  if (disabled.size() > 1) SetForegroundWindow(disabled[1]);
  return *result;
}

}  // namespace pelmora
