#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "crash/ui/progress/win/progress_alert.h"
#include "crash/imaging/win/nv_bitmap.h"

namespace ostrel {
namespace {

HWND Child(HWND parent, const wchar_t* cls) { return FindWindowExW(parent, nullptr, cls, nullptr); }

std::wstring Text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

void Pump() {
  MSG msg;
  for (int i = 0; i < 20; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
}

std::unique_ptr<IProgressAlert> MailPlan() {
  auto alert = CreateProgressAlert(u"Sending bug report...", nullptr, u"");
  alert->AppendArea(u"Preparing attachments...", 500);
  alert->AppendArea(u"Connecting to server...", 500);
  alert->AppendArea(u"Sending mail...", 100);
  alert->AppendArea(u"Finalizing...", 1000);
  return alert;
}

TEST(ProgressWindow, ShowsTheStepAndTheWeightedBarAndCannotBeClosedByTheUser) {
  auto alert = MailPlan();
  ASSERT_TRUE(alert->Display(nullptr, true));
  EXPECT_FALSE(alert->Display(nullptr, true)) << "already up";
  HWND window = alert->Window();
  ASSERT_NE(window, nullptr);
  alert->SetActiveArea(1);
  alert->SetProgress(500);
  HWND bar = Child(window, PROGRESS_CLASSW);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), (250 + 500) * 1000 / 2100);
  EXPECT_EQ(Text(Child(window, L"STATIC")), L"Connecting to server...");
  EXPECT_EQ(Text(window), L"Sending bug report...");
  RECT r{};
  GetWindowRect(window, &r);
  EXPECT_GE(r.right - r.left, 220);
  Pump();
  CreateDirectoryW(L"screenshots", nullptr);
  if (NVBitmapPtr shot = CaptureScreen(false))
    shot->WritePngFile(L"screenshots\\progress-window.png", 0);
  // Alt+F4 and the close command do nothing.
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_TRUE(IsWindow(window));
  alert->SetActiveArea(4);  // all done
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 1000);
  EXPECT_EQ(Text(Child(window, L"STATIC")), L"Finalizing...");
  alert->Dismiss();
  EXPECT_FALSE(IsWindow(window));
}

TEST(ProgressWindow, BackgroundWindowsStackInTheCorner) {
  auto first = MailPlan();
  auto second = MailPlan();
  ASSERT_TRUE(first->Display(nullptr, false));
  ASSERT_TRUE(second->Display(nullptr, false));
  RECT a{}, b{};
  GetWindowRect(first->Window(), &a);
  GetWindowRect(second->Window(), &b);
  EXPECT_EQ(b.left, a.left);
  EXPECT_EQ(b.bottom, a.top) << "directly above";
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(a.right, work.right - 2);
  EXPECT_EQ(a.bottom, work.bottom - 2);
  first.reset();
  // The first slot is free again: a third window takes it.
  auto third = MailPlan();
  ASSERT_TRUE(third->Display(nullptr, false));
  RECT c{};
  GetWindowRect(third->Window(), &c);
  EXPECT_EQ(c.bottom, work.bottom - 2);
}

}  // namespace
}  // namespace ostrel
