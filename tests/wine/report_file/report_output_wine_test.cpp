#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "crash/report/file/win/file_store.h"
#include "crash/report/file/win/report_output.h"

namespace ostrel {
namespace {

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"ostrel-report-file-test\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string Read(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

struct Found {
  const wchar_t* title;
  HWND window;
};

BOOL CALLBACK FindOwn(HWND window, LPARAM param) {
  auto* f = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[16] = {}, text[128] = {};
  GetClassNameW(window, cls, 16);
  GetWindowTextW(window, text, 128);
  if (pid == GetCurrentProcessId() && std::wstring(cls) == L"#32770" && IsWindowVisible(window) &&
      (!f->title || std::wstring(text) == f->title)) {
    f->window = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForDialog(const wchar_t* title, int ms = 30000) {
  for (int waited = 0; waited < ms; waited += 50) {
    Found f{title, nullptr};
    EnumWindows(FindOwn, reinterpret_cast<LPARAM>(&f));
    if (f.window) return f.window;
    Sleep(50);
  }
  return nullptr;
}

const std::u16string kReport =
    u"date/time         : 2026-12-09, 21:00:00\r\nexception class   : E\r\n\r\nmain "
    u"thread:\r\nline";

ReportOutputSettings Settings() {
  ReportOutputSettings s;
  s.bugRepFile = u"bugreport.txt";
  s.saveTitle = u"save bug report";
  s.printTitle = u"print bug report";
  const std::wstring folder = TempFolder();
  s.exeFolder.assign(folder.begin(), folder.end());
  return s;
}

TEST(ReportOutput, SaveDialogSavesWhereTheUserSaysAndCancelSavesNothing) {
  const std::wstring target = TempFolder() + L"chosen.txt";
  DeleteFileW(target.c_str());
  bool saved = true;
  std::thread saver([&] { saved = SaveReportInteractively(kReport, nullptr, Settings()); });
  HWND dialog = WaitForDialog(L"save bug report");
  ASSERT_NE(dialog, nullptr) << "no save dialog";
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  saver.join();
  EXPECT_FALSE(saved);
  EXPECT_EQ(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);

  std::thread again([&] { saved = SaveReportInteractively(kReport, nullptr, Settings()); });
  dialog = WaitForDialog(L"save bug report");
  ASSERT_NE(dialog, nullptr);
  // The file name box of the Explorer-style dialog.
  HWND name = GetDlgItem(dialog, 0x47C);
  if (!name) name = GetDlgItem(dialog, 0x480);
  ASSERT_NE(name, nullptr);
  SetWindowTextW(name, target.c_str());
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  again.join();
  EXPECT_TRUE(saved);
  EXPECT_EQ(Read(target),
            "date/time         : 2026-12-09, 21:00:00\r\nexception class   : E\r\n"
            "\r\nmain thread:\r\nline\r\n\r\n");
  DeleteFileW(target.c_str());
}

TEST(ReportOutput, PrintingWithoutAPrinterPrintsNothing) {
  bool printed = true;
  std::thread printer([&] { printed = PrintReportText(kReport, nullptr, Settings()); });
  // Where no printer exists the system may say so in a box: dismiss it.
  for (int i = 0; i < 3; ++i) {
    if (HWND box = WaitForDialog(nullptr, 3000)) PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  }
  printer.join();
  EXPECT_FALSE(printed);
}

TEST(ReportFileStore, SaversOfOneFileTakeTurnsAndTheFileIsOpenedUnshared) {
  const std::wstring path = TempFolder() + L"store\\deeper\\bugreport.txt";
  TWin32ReportFileStore first;
  ASSERT_TRUE(first.Open(std::u16string(path.begin(), path.end())));
  // Opened unshared: another program cannot open it meanwhile.
  HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  ASSERT_TRUE(first.WriteBeside("new content"));
  ASSERT_EQ(first.PutInPlace(), PlaceOutcome::Placed);
  first.Close();
  EXPECT_EQ(Read(path), "new content");
  EXPECT_EQ(GetFileAttributesW((path + L".saving").c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(path.c_str());
}

TEST(ReportFileStore, AFileAnotherProgramHoldsIsBusyAndTakesTheCopyOnceLetGo) {
  const std::wstring path = TempFolder() + L"held\\bugreport.txt";
  TWin32ReportFileStore store;
  ASSERT_TRUE(store.Open(std::u16string(path.begin(), path.end())));
  ASSERT_TRUE(store.WriteBeside("old content"));
  ASSERT_EQ(store.PutInPlace(), PlaceOutcome::Placed);
  ASSERT_TRUE(store.Open(std::u16string(path.begin(), path.end())));
  ASSERT_TRUE(store.WriteBeside("new content"));
  // Let go as the move does, then opened by a viewer before the move.
  store.Close();
  HANDLE viewer = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(store.PutInPlace(), PlaceOutcome::Busy);
  CloseHandle(viewer);
  EXPECT_EQ(Read(path), "old content");
  EXPECT_EQ(Read(path + L".saving"), "new content");
  EXPECT_EQ(store.PutInPlace(), PlaceOutcome::Placed);
  EXPECT_EQ(Read(path), "new content");
  EXPECT_EQ(GetFileAttributesW((path + L".saving").c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace ostrel
