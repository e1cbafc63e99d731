#include "crash/imaging/win/nv_bitmap.h"

#include <vector>

namespace ostrel {
namespace {

struct TopWindow {
  HWND window;
  RECT rect;
  bool own;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* list = reinterpret_cast<std::vector<TopWindow>*>(param);
  if (!IsWindowVisible(window) || IsIconic(window)) return TRUE;
  TopWindow w{window, {}, false};
  if (!GetWindowRect(window, &w.rect)) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  w.own = process == GetCurrentProcessId();
  list->push_back(w);
  return TRUE;
}

// Visible, non-minimised top-level windows, topmost first.
std::vector<TopWindow> VisibleTopWindows() {
  std::vector<TopWindow> list;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&list));
  return list;
}

bool HasArea(const RECT& r) { return r.left < r.right && r.top < r.bottom; }

// The program's visible area relative to the capture origin: each own window
// less every window above it, of whatever process.
HRGN AppRegion(const std::vector<TopWindow>& windows, int originX, int originY) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  HRGN piece = CreateRectRgn(0, 0, 0, 0);
  HRGN cover = CreateRectRgn(0, 0, 0, 0);
  bool any = false;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (!windows[i].own) continue;
    const RECT& r = windows[i].rect;
    SetRectRgn(piece, r.left - originX, r.top - originY, r.right - originX, r.bottom - originY);
    for (std::size_t k = 0; k < i; ++k) {
      const RECT& a = windows[k].rect;
      SetRectRgn(cover, a.left - originX, a.top - originY, a.right - originX, a.bottom - originY);
      CombineRgn(piece, piece, cover, RGN_DIFF);
    }
    CombineRgn(region, region, piece, RGN_OR);
    any = true;
  }
  DeleteObject(piece);
  DeleteObject(cover);
  RECT box;
  if (!any || GetRgnBox(region, &box) == NULLREGION) {
    DeleteObject(region);
    return nullptr;
  }
  return region;
}

void DrawCursor(HDC dc, int originX, int originY) {
  // Looked up by name: the function may be missing from the user-interface library.
  using GetCursorInfoFn = BOOL(WINAPI*)(PCURSORINFO);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  if (user == nullptr) return;
  auto getCursorInfo = reinterpret_cast<GetCursorInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetCursorInfo")));
  if (getCursorInfo == nullptr) return;
  CURSORINFO info{};
  info.cbSize = sizeof info;
  if (!getCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || info.hCursor == nullptr) return;
  ICONINFO icon{};
  if (!GetIconInfo(info.hCursor, &icon)) return;
  if (icon.hbmMask != nullptr) DeleteObject(icon.hbmMask);
  if (icon.hbmColor != nullptr) DeleteObject(icon.hbmColor);
  DrawIconEx(dc, info.ptScreenPos.x - static_cast<int>(icon.xHotspot) - originX,
             info.ptScreenPos.y - static_cast<int>(icon.yHotspot) - originY, info.hCursor, 0, 0, 0,
             nullptr, DI_NORMAL);
}

}  // namespace

NVBitmapPtr CaptureDc(HDC sourceDc, int originX, int originY, int width, int height, bool appOnly,
                      bool withCursor) {
  HRGN region = nullptr;
  if (appOnly) {
    const std::vector<TopWindow> windows = VisibleTopWindows();
    RECT area{0, 0, 0, 0};
    bool any = false;
    for (const TopWindow& w : windows) {
      if (!w.own || !HasArea(w.rect)) continue;
      RECT moved = w.rect;
      OffsetRect(&moved, -originX, -originY);
      if (any) {
        UnionRect(&area, &area, &moved);
      } else {
        area = moved;
        any = true;
      }
    }
    if (!any) return {};
    const RECT screen{0, 0, width, height};
    if (!IntersectRect(&area, &area, &screen)) return {};
    originX += area.left;
    originY += area.top;
    width = area.right - area.left;
    height = area.bottom - area.top;
    region = AppRegion(windows, originX, originY);
    if (region == nullptr) return {};
  }

  NVBitmapPtr bitmap = CreateNVBitmap(width, height);
  if (!bitmap) {
    if (region != nullptr) DeleteObject(region);
    return {};
  }
  HDC dc = NVBitmapDc(*bitmap);
  if (region != nullptr) {
    // Whatever of the area is not the program's own comes out white.
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectClipRgn(dc, region);
    DeleteObject(region);
  }
  const bool copied = BitBlt(dc, 0, 0, width, height, sourceDc, originX, originY, SRCCOPY) != FALSE;
  if (copied && withCursor) DrawCursor(dc, originX, originY);
  SelectClipRgn(dc, nullptr);
  if (!copied) return {};
  return bitmap;
}

NVBitmapPtr CaptureScreen(bool appOnly) {
  HDC screen = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  if (screen == nullptr) return {};
  int x = 0, y = 0, width, height;
  if (GetSystemMetrics(SM_CMONITORS) > 0) {
    x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  } else {
    width = GetDeviceCaps(screen, HORZRES);
    height = GetDeviceCaps(screen, VERTRES);
  }
  NVBitmapPtr bitmap = CaptureDc(screen, x, y, width, height, appOnly, true);
  DeleteDC(screen);
  return bitmap;
}

}  // namespace ostrel
