#include "tests/crash/box_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <string>

namespace zoo {
namespace {

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
  return out;
}

std::string WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return Narrow(text);
}

// A caption as the user reads it: "&OK" shows as "OK".
std::string Caption(HWND button) {
  std::string text = WindowText(button);
  std::erase(text, '&');
  return text;
}

}  // namespace

// The window as it is on the screen, as a 32-bit BMP.
void SaveWindowPicture(HWND window, const char* name) {
  RECT r;
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  auto* pixels = static_cast<unsigned char*>(bits);
  for (int i = 0; i < w * h; ++i) pixels[i * 4 + 3] = 0xFF;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + static_cast<DWORD>(w * h * 4);
  if (FILE* out = std::fopen(name, "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, out);
    std::fwrite(bits, 4, static_cast<std::size_t>(w) * h, out);
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

namespace {

BOOL CALLBACK Child(HWND child, LPARAM parameter) {
  auto& seen = *reinterpret_cast<BoxSeen*>(parameter);
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  const std::wstring name = cls;
  if (_wcsicmp(name.c_str(), L"Button") == 0) {
    seen.buttons.push_back(Caption(child));
    seen.enabled.push_back(IsWindowEnabled(child) != FALSE);
  } else if (name == WC_TABCONTROLW) {
    const int count = static_cast<int>(SendMessageW(child, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[128] = {};
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 128;
      SendMessageW(child, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
      seen.tabs.push_back(Narrow(text));
    }
  } else if (name == WC_LISTVIEWW) {
    seen.listRows = static_cast<int>(SendMessageW(child, LVM_GETITEMCOUNT, 0, 0));
  }
  return TRUE;
}

DWORD WINAPI RunDetached(void* work) {
  reinterpret_cast<void (*)()>(work)();
  return 0;
}

}  // namespace

BoxSeen WaitForBox(int milliseconds, const char* picture) {
  BoxSeen seen;
  for (int waited = 0; waited < milliseconds; waited += 50) {
    HWND box = FindWindowW(L"OstrelWndClass", nullptr);
    if (box && IsWindowVisible(box)) {
      seen.window = box;
      break;
    }
    Sleep(50);
  }
  if (!seen.window) return seen;
  Sleep(700);  // painted, and its tabs filled by the completion
  seen.title = WindowText(seen.window);
  EnumChildWindows(seen.window, Child, reinterpret_cast<LPARAM>(&seen));
  HWND focus = nullptr;
  GUITHREADINFO gui{sizeof gui};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(seen.window, nullptr), &gui)) focus = gui.hwndFocus;
  if (focus && GetParent(focus) == seen.window) seen.focused = Caption(focus);
  if (picture) SaveWindowPicture(seen.window, picture);
  return seen;
}

bool PressBoxButton(const BoxSeen& box, const std::string& caption) {
  HWND child = nullptr;
  while ((child = FindWindowExW(box.window, child, L"Button", nullptr)) != nullptr) {
    if (Caption(child) == caption) {
      PostMessageW(child, BM_CLICK, 0, 0);
      return true;
    }
  }
  return false;
}

namespace {
HWND KeyTarget(const BoxSeen& box) {
  GUITHREADINFO gui{sizeof gui};
  if (GetGUIThreadInfo(GetWindowThreadProcessId(box.window, nullptr), &gui) && gui.hwndFocus)
    return gui.hwndFocus;
  return box.window;
}
}  // namespace

void PressBoxKey(const BoxSeen& box, WPARAM key) {
  HoldBoxKey(box, key, true);
  HoldBoxKey(box, key, false);
}

void HoldBoxKey(const BoxSeen& box, WPARAM key, bool down) {
  PostMessageW(KeyTarget(box), down ? WM_KEYDOWN : WM_KEYUP, key, down ? 1 : 0xC0000001);
}

bool SelectBoxTab(const BoxSeen& box, const std::string& title) {
  HWND tabs = FindWindowExW(box.window, nullptr, WC_TABCONTROLW, nullptr);
  if (!tabs) return false;
  for (std::size_t i = 0; i < box.tabs.size(); ++i) {
    if (box.tabs[i] != title) continue;
    RECT r{};
    SendMessageW(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tabs, WM_LBUTTONUP, 0, at);
    return true;
  }
  return false;
}

bool WaitForBoxGone(HWND window, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (!IsWindow(window)) return true;
    Sleep(50);
  }
  return false;
}

namespace {
HANDLE g_driver = nullptr;
}  // namespace

void Detached(void (*work)()) {
  g_driver = CreateThread(nullptr, 0, RunDetached, reinterpret_cast<void*>(work), 0, nullptr);
}

void Finished() {
  if (!g_driver) return;
  WaitForSingleObject(g_driver, 30000);
  CloseHandle(g_driver);
  g_driver = nullptr;
}

}  // namespace zoo
