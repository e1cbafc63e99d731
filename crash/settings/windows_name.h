#pragma once
// How reports and the %os% placeholder name the running system, from what
// the system says of itself (crash/settings/win/windows_version.h asks).

#include <cstdint>
#include <string>

namespace ostrel {

struct WindowsVersion {
  enum class Platform { Unknown, Consumer, Nt };
  Platform platform = Platform::Unknown;
  std::uint32_t major = 0, minor = 0, build = 0;
  bool server = false;  // product type other than workstation
  std::u16string servicePack;
  // What the system metrics say, and a 64-bit processor under this 32-bit
  // program.
  bool serverR2 = false, tabletPc = false, starter = false, mediaCenter = false, x64 = false;
};

// "Windows 7 x64 Service Pack 1", "Windows XP Media Center", "Windows 98 SE".
std::u16string OsVersionName(const WindowsVersion& version);
// The name and " build " with the build number.
std::u16string OperatingSystemText(const WindowsVersion& version);

}  // namespace ostrel
