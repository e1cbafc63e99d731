// settings: assistant
// subsystem: windows
// Clicking the screenshot on its page opens it in the program registered
// for the "edit" verb of bitmaps (the zoo's editor paints it red); the
// saved edit shows on the page and replaces the report's screenshot, which
// the page of a second send shows again. The edit file goes with the page.
// expect exit: 0
// expect within: 120
// expect output: before editing red: no
// expect output: after editing red: yes
// expect output: edit file while the page is open: yes
// expect output: edit file after the page: no
// expect output: second send, contact continue: yes
// expect output: second send shows the edited screenshot: yes
// expect output: action 11
#include <windows.h>

#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/page_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

constexpr wchar_t kProgId[] = L"OstrelZooBitmap";
std::wstring g_oldBmpClass;

const char* YesNo(bool b) { return b ? "yes" : "no"; }

void SetDefault(const std::wstring& key, const std::wstring& value) {
  HKEY k;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
}

void RegisterEditor() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder.resize(folder.find_last_of(L'\\') + 1);
  wchar_t old[256] = {};
  DWORD size = sizeof old - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, L".bmp", nullptr, RRF_RT_REG_SZ, nullptr, old, &size) ==
      ERROR_SUCCESS)
    g_oldBmpClass = old;
  SetDefault(L".bmp", kProgId);
  SetDefault(std::wstring(kProgId) + L"\\shell\\edit\\command",
             L"\"" + folder + L"zoo_bmp_editor.exe\" \"%1\"");
}

void UnregisterEditor() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  if (!g_oldBmpClass.empty())
    SetDefault(L".bmp", g_oldBmpClass);
  else
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L".bmp");
}

bool Red(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 50 && GetBValue(c) < 50; }

bool EditFileExists() {
  const std::u16string path = ostrel::TempFolder() + u"screenShot.bmp";
  return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str())) !=
         INVALID_FILE_ATTRIBUTES;
}

// Through the contact page (and past the details) to the screenshot page.
zoo::PageSeen ToScreenshotPage(const zoo::BoxSeen& box, bool second) {
  zoo::PressBoxButton(box, "send bug report");
  zoo::PageSeen contact = zoo::WaitForPage(20000, nullptr);
  if (second)
    zoo::Say("second send, contact continue: %s", YesNo(contact.enabled[0]));
  else
    zoo::TypeInto(contact, 6, "edit@example.com");
  zoo::ClickItem(contact, 0);
  zoo::WaitForPageGone(contact.window, 10000);
  zoo::PageSeen details = zoo::WaitForPage(20000, nullptr);
  zoo::ClickItem(details, 1);
  zoo::WaitForPageGone(details.window, 10000);
  return zoo::WaitForPage(20000, nullptr);
}

void Drive() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PageSeen shot = ToScreenshotPage(box, false);
  zoo::Say("before editing red: %s", YesNo(Red(zoo::PagePixel(shot, 60, 100))));
  zoo::ClickPageAt(shot, 60, 100);
  bool red = false;
  for (int i = 0; i < 100 && !red; ++i) {
    Sleep(100);
    red = Red(zoo::PagePixel(shot, 60, 100));
  }
  zoo::Say("after editing red: %s", YesNo(red));
  zoo::Say("edit file while the page is open: %s", YesNo(EditFileExists()));
  zoo::ClickItem(shot, 0);
  zoo::WaitForPageGone(shot.window, 10000);
  zoo::Say("edit file after the page: %s", YesNo(EditFileExists()));

  Sleep(500);
  zoo::PageSeen again = ToScreenshotPage(box, true);
  zoo::Say("second send shows the edited screenshot: %s",
           YesNo(Red(zoo::PagePixel(again, 60, 100))));
  zoo::ClickItem(again, 2);
  zoo::WaitForPageGone(again.window, 10000);
  Sleep(500);
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 10000);
}

}  // namespace

int main() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Verrick\\ContactForm");
  RegisterEditor();
  zoo::Watch();
  zoo::Detached(Drive);
  try {
    throw std::runtime_error("edited screenshot");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  UnregisterEditor();
  DeleteFileW(L"zoo_assistant_report.txt");
}
