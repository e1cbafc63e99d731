#include "crash/settings/win/win_placeholder_system.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

#include "crash/base/win/wide_text.h"
#include "crash/settings/settings_environment.h"
#include "crash/settings/win/windows_version.h"
#include "crash/base/utf.h"

namespace ostrel {

std::u16string WindowsDescription() {
  const std::optional<WindowsVersion>& running = RunningWindows();
  return running ? OperatingSystemText(*running) : u"None";
}

std::u16string FileVersionText(ModuleHandle module) {
  wchar_t path[MAX_PATH * 4];
  if (!GetModuleFileNameW(reinterpret_cast<HMODULE>(module), path, MAX_PATH * 4)) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (!size) return {};
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(path, 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info)
    return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", (unsigned)HIWORD(info->dwFileVersionMS),
                (unsigned)LOWORD(info->dwFileVersionMS), (unsigned)HIWORD(info->dwFileVersionLS),
                (unsigned)LOWORD(info->dwFileVersionLS));
  return AsciiToUtf16(buf);
}

LocalTime WinPlaceholderSystem::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::u16string WinPlaceholderSystem::ModuleFileName(ModuleHandle module) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(module), buf.data(),
                                       static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return FromWide(buf.data());
    buf.resize(buf.size() * 2);
  }
}

std::u16string WinPlaceholderSystem::ModuleVersion(ModuleHandle module) {
  if (env_) {
    if (auto s = env_->MakeModuleSettings(module)) {
      std::u16string v;
      s->VersionText(v);
      if (!v.empty()) return v;
    }
  }
  return FileVersionText(module);
}

std::u16string WinPlaceholderSystem::ComputerName() {
  wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(buf, &n) ? FromWide(buf) : std::u16string();
}

std::u16string WinPlaceholderSystem::OsDescription() {
  return describe_ ? describe_() : WindowsDescription();
}

std::optional<std::u16string> WinPlaceholderSystem::FolderPath(ShellFolder folder) {
  int csidl = CSIDL_DESKTOPDIRECTORY;
  if (folder == ShellFolder::UserAppData) csidl = CSIDL_APPDATA;
  if (folder == ShellFolder::CommonAppData) csidl = CSIDL_COMMON_APPDATA;
  wchar_t path[MAX_PATH] = {};
  const HRESULT hr = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  if (hr == E_INVALIDARG) return std::nullopt;  // a folder this system does not know
  if (hr != S_OK) return std::u16string();
  return FromWide(path);
}

}  // namespace ostrel
