// settings: assistant
// subsystem: windows
// "remember me" keeps the contact across runs: the program runs itself a
// second time, which finds the name and address filled in and Continue
// focused. The first run skips the details page (no "error details"
// section); the second cancels there: no later page, no values, no action 3.
// expect exit: 0
// expect within: 120
// expect output: first: details skipped
// expect output: first: action 3 fired: yes
// expect output: first: remembered: [Ann Lee] [ann@example.com]
// expect output: first: report has contact name: yes, error details: no
// expect output: second: contact: Continue|Skip|Cancel|your name:|Ann Lee|your email:|ann@example.com|remember me
// expect output: second: focus: 0
// expect output: second: page after cancel: none
// expect output: second: action 3 fired: no
// expect output: second: remembered: [] []
// expect output: second: report has contact name: no, error details: no
#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/page_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

const char* g_run = "first";
std::atomic<bool> g_afterAssistant{false};

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "|" : "") + parts[i];
  return out;
}

std::string Remembered(const wchar_t* value) {
  wchar_t text[256] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Verrick\\ContactForm", value, RRF_RT_REG_SZ,
                   nullptr, text, &size) != ERROR_SUCCESS)
    return {};
  std::string out;
  for (const wchar_t* p = text; *p; ++p) out += static_cast<char>(*p);
  return out;
}

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport*, bool&) {
  if (action == ostrel::kActionSendAssistant) g_afterAssistant = true;
}

void DriveFirst() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxButton(box, "send bug report");
  zoo::PageSeen contact = zoo::WaitForPage(20000, nullptr);
  zoo::TypeInto(contact, 4, "Ann Lee");
  zoo::TypeInto(contact, 6, "ann@example.com");
  zoo::ClickItem(contact, 7);  // remember me
  Sleep(200);
  zoo::ClickItem(contact, 0);
  zoo::WaitForPageGone(contact.window, 10000);
  zoo::PageSeen details = zoo::WaitForPage(20000, nullptr);
  zoo::ClickItem(details, 1);
  zoo::WaitForPageGone(details.window, 10000);
  zoo::Say("first: details skipped");
  zoo::PageSeen shot = zoo::WaitForPage(20000, nullptr);
  zoo::ClickItem(shot, 0);
  zoo::WaitForPageGone(shot.window, 10000);
  Sleep(500);
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 10000);
}

void DriveSecond() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxButton(box, "send bug report");
  zoo::PageSeen contact = zoo::WaitForPage(20000, nullptr);
  zoo::Say("second: contact: %s", Joined(contact.texts).c_str());
  zoo::Say("second: focus: %d", contact.focused);
  zoo::ClickItem(contact, 7);  // forget me
  Sleep(200);
  zoo::ClickItem(contact, 0);
  zoo::WaitForPageGone(contact.window, 10000);
  zoo::PageSeen details = zoo::WaitForPage(20000, nullptr);
  zoo::PressPageKey(details, VK_ESCAPE);
  zoo::WaitForPageGone(details.window, 10000);
  zoo::Say("second: page after cancel: %s",
           zoo::WaitForPage(1500, nullptr).window ? "one" : "none");
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 10000);
}

void Report() {
  std::ifstream in("zoo_assistant_report.txt", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  in.close();
  const std::string text = all.str();
  zoo::Say("%s: action 3 fired: %s", g_run, g_afterAssistant ? "yes" : "no");
  zoo::Say("%s: remembered: [%s] [%s]", g_run, Remembered(L"RememberName").c_str(),
           Remembered(L"RememberEmail").c_str());
  zoo::Say("%s: report has contact name: %s, error details: %s", g_run,
           text.find("contact name") != std::string::npos ? "yes" : "no",
           text.find("error details") != std::string::npos ? "yes" : "no");
  DeleteFileW(L"zoo_assistant_report.txt");
}

}  // namespace

int main() {
  const bool second = wcsstr(GetCommandLineW(), L" second") != nullptr;
  if (second) g_run = "second";
  if (!second) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Verrick\\ContactForm");
  DeleteFileW(L"zoo_assistant_report.txt");
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  zoo::Detached(second ? DriveSecond : DriveFirst);
  try {
    throw std::runtime_error("remembered");
  } catch (...) {
    ostrel::ReportException(true);
  }
  zoo::Finished();
  Report();
  if (second) return 0;
  // The second run: the same program again, writing to the same output.
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" second";
  STARTUPINFOW start{sizeof start};
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                      &process)) {
    zoo::Say("second run did not start");
    return 1;
  }
  WaitForSingleObject(process.hProcess, 120000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
