// settings: send
// subsystem: windows
// Send in the box hands the report to the mail client through Simple MAPI
// (the zoo's provider beside the program): both recipients, the subject
// with the exception's message, "bugreport.txt" holding the report and
// "screenshot.png" a PNG; action 6 follows and the report counts as sent.
// When MAPI fails the mailto: link carries the report; when the user
// cancels in the mail client nothing else happens.
// expect exit: 0
// expect within: 150
// expect output: box: shown
// expect output: mapi: flags: dialog
// expect output: mapi: subject: bug report: first send.
// expect output: mapi: to: Pelmora Support|SMTP:help@pelmora.example
// expect output: mapi: to: desk@pelmora.example|SMTP:desk@pelmora.example
// expect output: mapi: file: bugreport.txt
// expect output: mapi: file: screenshot.png
// expect output: mapi: report attached: yes, screenshot is a PNG: yes
// expect output: action 6
// expect output: first: saved although sent: no
// expect output: mailto: mailto:Pelmora%20Support%20%3Chelp@pelmora.example%3E%2Cdesk@pelmora.example?subject=bug%20report%3A%20second%20send.&body=
// expect output: mailto: body holds the report: yes
// expect output: cancelled: link: no, message box: no, action 6: no
#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "tests/crash/box_driver.h"
#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

std::atomic<int> g_sent{0};
std::wstring g_oldMailto;

std::string Folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string Read(const std::string& name) {
  std::ifstream in(Folder() + name, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

bool WaitForFile(const std::string& name, int ms) {
  for (int i = 0; i < ms / 100; ++i) {
    if (GetFileAttributesA((Folder() + name).c_str()) != INVALID_FILE_ATTRIBUTES) {
      Sleep(300);  // written through
      return true;
    }
    Sleep(100);
  }
  return false;
}

void Answer(const char* text) {
  const std::string path = Folder() + "mapi_answer.txt";
  DeleteFileA(path.c_str());
  if (text) std::ofstream(path, std::ios::binary) << text;
}

void RegisterRecorder() {
  const std::string folder = Folder();
  const std::wstring command =
      L"\"" + std::wstring(folder.begin(), folder.end()) + L"zoo_mailto_recorder.exe\" \"%1\"";
  HKEY key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  wchar_t old[1024] = {};
  DWORD size = sizeof old - sizeof(wchar_t);
  if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
      ERROR_SUCCESS)
    g_oldMailto = old;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void RestoreMailto() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  if (g_oldMailto.empty())
    RegDeleteValueW(key, nullptr);
  else
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(g_oldMailto.c_str()),
                   static_cast<DWORD>((g_oldMailto.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// Under Wine its own mapi32 comes first: the provider beside the program
// must be the one loaded (elsewhere the key means nothing).
void PreferProviderBesideUs(bool on) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  if (on) {
    const wchar_t value[] = L"native,builtin";
    RegSetValueExW(key, L"mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  } else {
    RegDeleteValueW(key, L"mapi32");
  }
  RegCloseKey(key);
}

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport*, bool&) {
  if (action == ostrel::kActionSent) ++g_sent;
}

void SendAndContinue() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::Say("box: %s", box.window ? "shown" : "none");
  zoo::PressBoxButton(box, "send bug report");
  Sleep(4000);  // the delivery runs in the background
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 20000);
}

void DriveCancelled() {
  const zoo::BoxSeen box = zoo::WaitForBox(20000, nullptr);
  zoo::PressBoxButton(box, "send bug report");
  Sleep(4000);
  DWORD pid = GetCurrentProcessId(), owner = 0;
  HWND message = FindWindowW(L"#32770", nullptr);
  if (message) GetWindowThreadProcessId(message, &owner);
  zoo::Say("cancelled: link: %s, message box: %s, action 6: %s",
           WaitForFile("mailto_link.txt", 500) ? "yes" : "no",
           message && owner == pid ? "yes" : "no", g_sent ? "yes" : "no");
  zoo::PressBoxButton(box, "continue application");
  zoo::WaitForBoxGone(box.window, 20000);
}

void Raise(const char* message) {
  try {
    throw std::runtime_error(message);
  } catch (...) {
    ostrel::ReportException(true);
  }
}

}  // namespace

int main() {
  for (const char* f : {"mapi_outbox.txt", "mapi_outbox_bugreport.txt",
                        "mapi_outbox_screenshot.png", "mailto_link.txt", "zoo_send_report.txt"})
    DeleteFileA((Folder() + f).c_str());
  RegisterRecorder();
  PreferProviderBesideUs(true);
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);

  Answer(nullptr);
  zoo::Detached(SendAndContinue);
  Raise("first send");
  zoo::Finished();
  WaitForFile("mapi_outbox.txt", 30000);
  std::istringstream mail(Read("mapi_outbox.txt"));
  for (std::string line; std::getline(mail, line);)
    if (line.rfind("body", 0) != 0) zoo::Say("mapi: %s", line.c_str());
  const std::string report = Read("mapi_outbox_bugreport.txt");
  const std::string png = Read("mapi_outbox_screenshot.png");
  zoo::Say("mapi: report attached: %s, screenshot is a PNG: %s",
           report.find("first send") != std::string::npos ? "yes" : "no",
           png.rfind("\x89PNG\r\n\x1a\n", 0) == 0 ? "yes" : "no");
  if (g_sent) zoo::Say("action 6");
  zoo::Say("first: saved although sent: %s",
           GetFileAttributesA((Folder() + "zoo_send_report.txt").c_str()) != INVALID_FILE_ATTRIBUTES
               ? "yes"
               : "no");

  Answer("fail");
  zoo::Detached(SendAndContinue);
  Raise("second send");
  zoo::Finished();
  WaitForFile("mailto_link.txt", 30000);
  const std::string link = Read("mailto_link.txt");
  const std::size_t at = link.find("mailto:");
  const std::size_t body = link.find("&body=");
  zoo::Say("mailto: %s", at == std::string::npos || body == std::string::npos
                             ? link.c_str()
                             : link.substr(at, body + 6 - at).c_str());
  zoo::Say("mailto: body holds the report: %s",
           link.find("second%20send", body == std::string::npos ? 0 : body) != std::string::npos
               ? "yes"
               : "no");
  DeleteFileA((Folder() + "mailto_link.txt").c_str());

  g_sent = 0;
  Answer("cancel");
  zoo::Detached(DriveCancelled);
  Raise("third send");
  zoo::Finished();
  Answer(nullptr);
  RestoreMailto();
  PreferProviderBesideUs(false);
  for (const char* f : {"mapi_outbox.txt", "mapi_outbox_bugreport.txt",
                        "mapi_outbox_screenshot.png", "zoo_send_report.txt"})
    DeleteFileA((Folder() + f).c_str());
}
