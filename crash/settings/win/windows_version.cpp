#include "crash/settings/win/windows_version.h"

#include <windows.h>

#include <cwchar>

#include "crash/base/win/wide_text.h"

namespace ostrel {
namespace {

// GetVersionEx lies to programs whose manifest names no newer system, so
// the kernel's own call is asked first.
bool ReadVersion(OSVERSIONINFOEXW& v) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  v = OSVERSIONINFOEXW{};
  v.dwOSVersionInfoSize = sizeof v;
  auto rtl = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (rtl && rtl(&v) == 0) return true;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  v = OSVERSIONINFOEXW{};
  v.dwOSVersionInfoSize = sizeof v;
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v))) return true;
  // Systems before NT 4 SP6 know only the plain structure.
  v = OSVERSIONINFOEXW{};
  v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v)) != FALSE;
#pragma GCC diagnostic pop
}

std::optional<WindowsVersion> AskWindows() {
  OSVERSIONINFOEXW v;
  if (!ReadVersion(v)) return std::nullopt;
  WindowsVersion w;
  w.platform = v.dwPlatformId == VER_PLATFORM_WIN32_NT        ? WindowsVersion::Platform::Nt
               : v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? WindowsVersion::Platform::Consumer
                                                              : WindowsVersion::Platform::Unknown;
  w.major = v.dwMajorVersion;
  w.minor = v.dwMinorVersion;
  w.build = v.dwBuildNumber;
  // The plain structure leaves the product type 0: no server then.
  w.server = v.wProductType == VER_NT_SERVER || v.wProductType == VER_NT_DOMAIN_CONTROLLER;
  w.servicePack = FromWide(std::wstring_view(v.szCSDVersion, wcsnlen(v.szCSDVersion, 128)));
  if (w.platform == WindowsVersion::Platform::Nt) {
    w.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    w.tabletPc = GetSystemMetrics(SM_TABLETPC) != 0;
    w.starter = GetSystemMetrics(SM_STARTER) != 0;
    w.mediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    w.x64 = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  }
  return w;
}

}  // namespace

const std::optional<WindowsVersion>& RunningWindows() {
  static const std::optional<WindowsVersion> running = AskWindows();
  return running;
}

}  // namespace ostrel
