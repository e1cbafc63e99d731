#include "crash/settings/win/windows_version.h"

namespace ostrel {

bool ReadWindowsVersion(OSVERSIONINFOEXW& v) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  v = OSVERSIONINFOEXW{};
  v.dwOSVersionInfoSize = sizeof v;
  auto rtl = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (rtl && rtl(&v) == 0) return true;
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v)) != FALSE;
#pragma GCC diagnostic pop
}

const char16_t* WindowsName(const OSVERSIONINFOEXW& v) {
  const bool server = v.wProductType != VER_NT_WORKSTATION;
  const DWORD major = v.dwMajorVersion, minor = v.dwMinorVersion;
  if (major <= 3) return u"Windows NT 3";
  if (major == 4) return u"Windows NT 4";
  if (major == 5) {
    return minor == 0 ? u"Windows 2000" : (minor == 1 || !server) ? u"Windows XP" : u"Windows 2003";
  }
  if (major == 6) {
    switch (minor) {
      case 0:
        return server ? u"Windows 2008" : u"Windows Vista";
      case 1:
        return server ? u"Windows 2008 R2" : u"Windows 7";
      case 2:
        return server ? u"Windows 2012" : u"Windows 8";
      case 3:
        return server ? u"Windows 2012 R2" : u"Windows 8.1";
      default:
        break;
    }
  }
  if (major == 10) return u"Windows 10";
  return u"Windows NT New";
}

}  // namespace ostrel
