#include "crash/report/compose/win/header_system.h"

#include <wtsapi32.h>

#include <cstdint>
#include <cwchar>
#include <utility>

#include "crash/base/win/wide_text.h"
#include "crash/settings/win/windows_version.h"

namespace ostrel {
namespace {

std::u16string ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::u16string() : FromWide(std::wstring_view(path, n));
}

std::u16string RegText(HKEY root, const wchar_t* key, const wchar_t* value) {
  // One character short of the buffer: a value stored without its zero
  // still ends in one.
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  const LONG result =
      RegQueryValueExW(opened, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS ? FromWide(buffer) : std::u16string();
}

const wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

}  // namespace

WinHeaderSystem::WinHeaderSystem(HMODULE reporter, UpTime programUpTimeMs, VersionOf fileVersion)
    : reporter_(reporter),
      programUpTimeMs_(std::move(programUpTimeMs)),
      fileVersion_(std::move(fileVersion)) {}

std::u16string WinHeaderSystem::ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 2] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? FromWide(name) : std::u16string();
}

std::u16string WinHeaderSystem::WtsClientName() {
  LPWSTR name = nullptr;
  DWORD bytes = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSClientName,
                                   &name, &bytes) ||
      !name) {
    return {};
  }
  const std::u16string client =
      FromWide(std::wstring_view(name, wcsnlen(name, bytes / sizeof(wchar_t))));
  WTSFreeMemory(name);
  return client;
}

std::u16string WinHeaderSystem::UserName() {
  wchar_t name[261] = {};
  DWORD size = 260;
  return GetUserNameW(name, &size) ? FromWide(name) : std::u16string();
}

bool WinHeaderSystem::IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                0, 0, 0, 0, &admins)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
  return member != FALSE;
}

std::u16string WinHeaderSystem::RegisteredOwner() {
  return RegText(HKEY_LOCAL_MACHINE, kCurrentVersion, L"RegisteredOwner");
}

std::u16string WinHeaderSystem::RegisteredOrganization() {
  return RegText(HKEY_LOCAL_MACHINE, kCurrentVersion, L"RegisteredOrganization");
}

std::optional<WindowsVersion> WinHeaderSystem::Windows() { return RunningWindows(); }

std::u16string WinHeaderSystem::SystemLanguage() {
  wchar_t language[128] = {};
  return GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, 128)
             ? FromWide(language)
             : std::u16string();
}

std::int64_t WinHeaderSystem::SystemUpTimeSeconds() {
  LARGE_INTEGER now{}, frequency{};
  if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency) ||
      frequency.QuadPart == 0) {
    return -1;
  }
  return now.QuadPart / frequency.QuadPart;
}

std::int64_t WinHeaderSystem::ProgramUpTimeMs() {
  return programUpTimeMs_ ? programUpTimeMs_() : -1;
}

std::u16string WinHeaderSystem::ProcessorName(int index) {
  const std::wstring key =
      L"hardware\\description\\system\\centralProcessor\\" + std::to_wstring(index);
  return RegText(HKEY_LOCAL_MACHINE, key.c_str(), L"ProcessorNameString");
}

std::optional<MemoryStatus> WinHeaderSystem::PhysicalMemory() {
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  if (!GlobalMemoryStatusEx(&m)) return std::nullopt;
  return MemoryStatus{m.ullAvailPhys, m.ullTotalPhys};
}

char16_t WinHeaderSystem::WindowsDrive() {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  return static_cast<char16_t>(windows[0]);
}

std::optional<std::uint64_t> WinHeaderSystem::FreeDiskBytes(char16_t drive) {
  const wchar_t root[] = {static_cast<wchar_t>(drive), L':', L'\\', 0};
  ULARGE_INTEGER free{};
  if (!GetDiskFreeSpaceExW(root, nullptr, nullptr, &free)) return std::nullopt;
  return free.QuadPart;
}

std::optional<DisplayMode> WinHeaderSystem::Display() {
  HDC screen = GetDC(nullptr);
  if (!screen) return std::nullopt;
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return DisplayMode{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), bits};
}

std::uint32_t WinHeaderSystem::ProcessId() { return GetCurrentProcessId(); }

ProcessMemory WinHeaderSystem::MemoryUse() {
  return MeasureAddressSpace(
      [](std::uint64_t address) -> std::optional<MemoryRegion> {
        MEMORY_BASIC_INFORMATION r{};
        if (address > UINTPTR_MAX ||
            VirtualQuery(reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), &r,
                         sizeof r) != sizeof r) {
          return std::nullopt;
        }
        MemoryRegion region;
        region.state = r.State == MEM_FREE     ? MemoryRegion::State::Free
                       : r.State == MEM_COMMIT ? MemoryRegion::State::Committed
                                               : MemoryRegion::State::Reserved;
        region.base = reinterpret_cast<std::uintptr_t>(r.BaseAddress);
        region.size = r.RegionSize;
        region.allocationBase = reinterpret_cast<std::uintptr_t>(r.AllocationBase);
        return region;
      },
      [](std::uint64_t base) {
        wchar_t name[MAX_PATH];
        return GetModuleFileNameW(reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(base)),
                                  name, MAX_PATH) > 0;
      });
}

std::u16string WinHeaderSystem::CommandLine() { return FromWide(GetCommandLineW()); }

std::u16string WinHeaderSystem::ExecutablePath() { return ModulePath(nullptr); }

std::u16string WinHeaderSystem::ReporterModulePath() { return ModulePath(reporter_); }

bool WinHeaderSystem::ReporterIsExecutable() { return reporter_ == GetModuleHandleW(nullptr); }

std::optional<LocalTime> WinHeaderSystem::FileWriteTime(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  SYSTEMTIME t{};
  if (!GetFileAttributesExW(WidePtr(path), GetFileExInfoStandard, &data) ||
      !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToSystemTime(&local, &t)) {
    return std::nullopt;
  }
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::u16string WinHeaderSystem::FileVersion(const std::u16string& path) {
  return fileVersion_ ? fileVersion_(path) : std::u16string();
}

std::u16string WinHeaderSystem::Compiler() {
  return std::u16string(u"GCC ") +
         std::u16string(__VERSION__, __VERSION__ + sizeof __VERSION__ - 1) + u" (mingw-w64)";
}

char16_t WinHeaderSystem::DecimalSeparator() {
  wchar_t separator[4] = {};
  return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4) > 1
             ? static_cast<char16_t>(separator[0])
             : u',';
}

}  // namespace ostrel
