#include "crash/imaging/win/nv_bitmap.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace ostrel {
namespace {

constexpr COLORREF kLeft = RGB(220, 30, 40);
constexpr COLORREF kRight = RGB(20, 60, 200);

LRESULT CALLBACK PaintProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    const int mid = r.right / 2;
    HBRUSH left = CreateSolidBrush(kLeft), right = CreateSolidBrush(kRight);
    RECT a{0, 0, mid, r.bottom}, b{mid, 0, r.right, r.bottom};
    FillRect(dc, &a, left);
    FillRect(dc, &b, right);
    DeleteObject(left);
    DeleteObject(right);
    EndPaint(window, &ps);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

void Pump(int milliseconds) {
  const DWORD until = GetTickCount() + milliseconds;
  while (static_cast<int>(until - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

// A borderless top-most window whose left half is red and right half blue.
class KnownWindow {
 public:
  KnownWindow(int x, int y, int w, int h) {
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = PaintProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"OstrelCaptureTest";
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    window = CreateWindowExW(WS_EX_TOPMOST, L"OstrelCaptureTest", L"capture", WS_POPUP | WS_VISIBLE,
                             x, y, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(window);
    // Shown means painted on the screen, not merely created: poll both halves.
    HDC screen = GetDC(nullptr);
    const DWORD until = GetTickCount() + 10000;
    while (static_cast<int>(until - GetTickCount()) > 0 &&
           (GetPixel(screen, x + 2, y + 2) != kLeft ||
            GetPixel(screen, x + w - 3, y + h - 3) != kRight)) {
      Pump(20);
    }
    ReleaseDC(nullptr, screen);
  }
  ~KnownWindow() { DestroyWindow(window); }
  HWND window;
};

COLORREF At(INVBitmap& b, int x, int yFromTop) {
  const std::uint8_t* p = NVBitmapBits(b) + ((b.Height() - 1 - yFromTop) * b.Width() + x) * 4;
  return RGB(p[2], p[1], p[0]);
}

TEST(Capture, WholeScreenShowsTheWindowWhereItIs) {
  KnownWindow w(300, 200, 200, 120);
  NVBitmapPtr shot = CaptureScreen(false);
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(shot->Height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  const int ox = GetSystemMetrics(SM_XVIRTUALSCREEN), oy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  EXPECT_EQ(At(*shot, 300 + 20 - ox, 200 + 60 - oy), kLeft);
  EXPECT_EQ(At(*shot, 300 + 180 - ox, 200 + 60 - oy), kRight);
}

TEST(Capture, AppOnlyCoversOwnWindowsAndWhitensTheRest) {
  ShowCursor(FALSE);
  {
    KnownWindow a(100, 100, 100, 80);
    KnownWindow b(400, 300, 60, 40);
    NVBitmapPtr shot = CaptureScreen(true);
    ASSERT_TRUE(shot);
    // The union of both windows, from 100,100 to 460,340.
    EXPECT_EQ(shot->Width(), 360);
    EXPECT_EQ(shot->Height(), 240);
    EXPECT_EQ(At(*shot, 10, 10), kLeft);
    EXPECT_EQ(At(*shot, 90, 70), kRight);
    EXPECT_EQ(At(*shot, 300 + 5, 200 + 5), kLeft);
    EXPECT_EQ(At(*shot, 300 + 55, 200 + 35), kRight);
    // Between them: not the program's, so white.
    EXPECT_EQ(At(*shot, 200, 150), RGB(255, 255, 255));
    EXPECT_EQ(At(*shot, 150, 90), RGB(255, 255, 255));

    ShowWindow(a.window, SW_MINIMIZE);
    ShowWindow(b.window, SW_HIDE);
    Pump(300);
    EXPECT_FALSE(CaptureScreen(true));
  }
  ShowCursor(TRUE);
}

TEST(Capture, DrawsTheCursorOnlyWhenAsked) {
  KnownWindow w(600, 400, 160, 160);
  SetCursorPos(640, 440);
  mouse_event(MOUSEEVENTF_MOVE, 1, 1, 0, 0);
  // The capture draws the cursor the system reports: wait until it reports one
  // over the window, shown, with a shape.
  POINT at{};
  CURSORINFO info{};
  const DWORD until = GetTickCount() + 10000;
  do {
    Pump(20);
    info.cbSize = sizeof info;
    GetCursorPos(&at);
  } while (static_cast<int>(until - GetTickCount()) > 0 &&
           !(GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) && info.hCursor && at.x > 600 &&
             at.x < 700 && at.y > 400 && at.y < 500));
  HDC screen = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
  NVBitmapPtr plain = CaptureDc(screen, 600, 400, 160, 160, false, false);
  NVBitmapPtr cursor = CaptureDc(screen, 600, 400, 160, 160, false, true);
  DeleteDC(screen);
  ASSERT_TRUE(plain && cursor);
  // Without the cursor the window is plain red there.
  EXPECT_EQ(At(*plain, at.x - 600 + 2, at.y - 400 + 4), kLeft);
  int changed = 0;
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x) changed += At(*plain, x, y) != At(*cursor, x, y);
  }
  EXPECT_GT(changed, 20) << "cursor at " << at.x << "," << at.y;
}

}  // namespace
}  // namespace ostrel
