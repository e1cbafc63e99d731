// settings: integrity
// libraries: imagehlp
// The start-up integrity check: this program, stamped by its build, runs; a
// copy with one byte changed shows the corrupt-file message and ends with
// exit code 0 before its main runs. The stamp agrees with imagehlp.
// expect exit: 0
// expect output: stamp agrees with imagehlp 1
// expect output: corrupt copy ended 0 box The file "zoo_file_integrity_copy.exe" seems to be corrupt!
// expect not: copy's main ran
// expect within: 40
#include <windows.h>
#include <imagehlp.h>

#include <string>
#include <vector>

#include "tests/crash/zoo_support.h"

namespace {

struct Box {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* box = reinterpret_cast<Box*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  if (owner == box->pid && std::wstring(cls) == L"#32770") {
    box->found = window;
    return FALSE;
  }
  return TRUE;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

int main(int argc, char**) {
  if (argc > 1) {
    zoo::Say("copy's main ran");
    return 5;
  }
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  DWORD header = 0, computed = 0;
  const bool mapped = MapFileAndCheckSumW(self, &header, &computed) == CHECKSUM_SUCCESS;
  zoo::Say("stamp agrees with imagehlp %d", mapped && header != 0 && header == computed ? 1 : 0);

  HANDLE in = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  std::vector<char> bytes(GetFileSize(in, nullptr));
  DWORD got = 0;
  ReadFile(in, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(in);
  bytes.back() ^= 0x5A;  // debug data at the end: the copy still loads
  std::wstring copy = self;
  copy = copy.substr(0, copy.rfind(L'\\') + 1) + L"zoo_file_integrity_copy.exe";
  HANDLE out = CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(out);

  std::wstring command = L"\"" + copy + L"\" child";
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi)) {
    zoo::Say("copy did not start");
    return 1;
  }
  Box box{pi.dwProcessId, nullptr};
  for (int i = 0; i < 600 && !box.found; ++i) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
  }
  // Found while it is still being made: its text comes a moment later.
  std::wstring text;
  for (int i = 0; box.found && text.empty() && i < 200; ++i) {
    wchar_t buffer[256] = {};
    if (IsWindowVisible(box.found)) GetDlgItemTextW(box.found, 0xFFFF, buffer, 256);
    text = buffer;
    if (text.empty()) Sleep(50);
  }
  if (box.found) PostMessageW(box.found, WM_COMMAND, IDOK, 0);
  WaitForSingleObject(pi.hProcess, 20000);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  DeleteFileW(copy.c_str());
  zoo::Say("corrupt copy ended %lu box %s", code, Narrow(text).c_str());
}
