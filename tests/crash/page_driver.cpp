#include "tests/crash/page_driver.h"

#include "tests/crash/box_driver.h"

namespace zoo {

namespace {

constexpr int kFirstItemId = 100;

std::string Utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string TextOf(HWND window) {
  // Sent across threads: the page's thread answers while it runs its loop.
  const int length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return Utf8(text);
}

HWND FindPage() {
  HWND page = nullptr;
  while ((page = FindWindowExW(nullptr, page, L"OstrelAssistantPage", nullptr)) != nullptr)
    if (IsWindowVisible(page)) return page;
  return nullptr;
}

}  // namespace

PageSeen ReadPage(HWND window) {
  PageSeen seen;
  seen.window = window;
  if (!IsWindow(window)) return seen;
  seen.title = TextOf(window);
  HWND focus = nullptr;
  GUITHREADINFO gui{sizeof gui};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &gui)) focus = gui.hwndFocus;
  // An image has no window of its own: read a generous range, then drop
  // what lies past the last window.
  int last = -1;
  for (int i = 0; i < 64; ++i) {
    HWND item = GetDlgItem(window, kFirstItemId + i);
    seen.texts.push_back(item ? TextOf(item) : std::string());
    seen.enabled.push_back(item && IsWindowEnabled(item));
    if (!item) continue;
    last = i;
    if (item == focus) seen.focused = i;
  }
  seen.texts.resize(static_cast<std::size_t>(last + 1));
  seen.enabled.resize(static_cast<std::size_t>(last + 1));
  return seen;
}

PageSeen WaitForPage(int milliseconds, const char* picture) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (HWND page = FindPage()) {
      Sleep(500);  // painted, and its focus set
      if (picture) SaveWindowPicture(page, picture);
      return ReadPage(page);
    }
    Sleep(50);
  }
  return {};
}

void TypeInto(const PageSeen& page, int item, const std::string& text) {
  HWND edit = GetDlgItem(page.window, kFirstItemId + item);
  // All but the last character at once, the last one typed: a multi-line
  // edit tells no change for a text set as a whole.
  std::wstring wide = Wide(text);
  const wchar_t last = wide.empty() ? 0 : wide.back();
  if (!wide.empty()) wide.pop_back();
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (!last) return;
  SendMessageW(edit, EM_SETSEL, wide.size(), wide.size());
  SendMessageW(edit, WM_CHAR, last, 1);
}

void ClickItem(const PageSeen& page, int item) {
  PostMessageW(GetDlgItem(page.window, kFirstItemId + item), BM_CLICK, 0, 0);
}

void ClickPageAt(const PageSeen& page, int x, int y) {
  PostMessageW(page.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageW(page.window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void PressPageKey(const PageSeen& page, WPARAM key) {
  GUITHREADINFO gui{sizeof gui};
  HWND target = page.window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(page.window, nullptr), &gui) && gui.hwndFocus)
    target = gui.hwndFocus;
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

COLORREF PagePixel(const PageSeen& page, int x, int y) {
  POINT at{x, y};
  ClientToScreen(page.window, &at);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

bool WaitForPageGone(HWND window, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (!IsWindow(window)) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace zoo
