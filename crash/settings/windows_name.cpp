#include "crash/settings/windows_name.h"

#include "crash/base/short_text.h"

namespace ostrel {
namespace {

// The consumer family keeps its version in the build number's high word.
std::uint32_t BuildNumber(const WindowsVersion& v) {
  return v.platform == WindowsVersion::Platform::Consumer ? v.build & 0xFFFF : v.build;
}

const char16_t* ConsumerName(const WindowsVersion& v) {
  const std::uint32_t build = BuildNumber(v);
  if (v.major <= 3) return u"None";
  if (v.major == 4 && v.minor < 10) return build <= 1000 ? u"Windows 95" : u"Windows 95 OSR-2";
  if (v.major == 4 && v.minor == 10) {
    return build <= 2000 ? u"Windows 98" : build <= 2700 ? u"Windows 98 SE" : u"Windows ME";
  }
  if (v.major == 4 && v.minor <= 90) return u"Windows ME";
  return u"Windows 9x New";
}

const char16_t* NtName(const WindowsVersion& v) {
  if (v.major <= 3) return u"Windows NT 3";
  if (v.major == 4) return u"Windows NT 4";
  if (v.major == 5) {
    if (v.minor == 0) return u"Windows 2000";
    return v.minor == 1 || !v.server ? u"Windows XP" : u"Windows 2003";
  }
  if (v.major == 6) {
    switch (v.minor) {
      case 0:
        return v.server ? u"Windows 2008" : u"Windows Vista";
      case 1:
        return v.server ? u"Windows 2008 R2" : u"Windows 7";
      case 2:
        return v.server ? u"Windows 2012" : u"Windows 8";
      case 3:
        return v.server ? u"Windows 2012 R2" : u"Windows 8.1";
      default:
        break;
    }
  }
  if (v.major == 10) return u"Windows 10";
  return u"Windows NT New";
}

}  // namespace

std::u16string OsVersionName(const WindowsVersion& v) {
  if (v.platform == WindowsVersion::Platform::Consumer) return ConsumerName(v);
  if (v.platform != WindowsVersion::Platform::Nt) return u"None";
  std::u16string name = NtName(v);
  // The R2 releases after 2003 carry it in their name already.
  if (v.serverR2 && !name.ends_with(u" R2")) name += u" R2";
  if (v.tabletPc) name += u" Tablet PC";
  if (v.starter) name += u" Starter";
  // From Vista on, most home editions say they are a media center.
  if (v.mediaCenter && v.major < 6) name += u" Media Center";
  if (v.x64) name += u" x64";
  const std::u16string servicePack = text::Trim(v.servicePack);
  if (!servicePack.empty()) name += u" " + servicePack;
  return name;
}

std::u16string OperatingSystemText(const WindowsVersion& v) {
  return OsVersionName(v) + u" build " + text::Decimal(BuildNumber(v));
}

}  // namespace ostrel
