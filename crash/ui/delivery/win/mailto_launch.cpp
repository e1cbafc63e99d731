#include "crash/ui/delivery/win/mailto_launch.h"

#include <windows.h>

#include "crash/ui/delivery/mailto_link.h"

namespace ostrel::delivery {

namespace {

std::u16string RegisteredCommand() {
  wchar_t raw[1024] = {};
  DWORD size = sizeof raw - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, L"mailto\\shell\\open\\command", nullptr,
                   RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, raw,
                   &size) != ERROR_SUCCESS)
    return {};
  wchar_t expanded[261] = {};
  const DWORD n = ExpandEnvironmentStringsW(raw, expanded, 261);
  if (n == 0 || n > 261) return {};
  return reinterpret_cast<const char16_t*>(expanded);
}

}  // namespace

bool OpenMailtoLink(const std::u16string& recipients, const std::u16string& subject,
                    const std::u16string& body) {
  const std::u16string command = RegisteredCommand();
  if (command.empty()) return false;
  std::u16string line = MailtoCommandLine(command, MailtoLink(command, recipients, subject, body));
  STARTUPINFOW start{sizeof start};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(line.data()), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &start, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace ostrel::delivery
