#include "crash/settings/windows_name.h"

#include <gtest/gtest.h>

#include <iterator>

namespace ostrel {
namespace {

using Platform = WindowsVersion::Platform;

WindowsVersion Nt(std::uint32_t major, std::uint32_t minor, bool server = false) {
  WindowsVersion v;
  v.platform = Platform::Nt;
  v.major = major;
  v.minor = minor;
  v.build = 7601;
  v.server = server;
  return v;
}

WindowsVersion Consumer(std::uint32_t minor, std::uint32_t build) {
  WindowsVersion v;
  v.platform = Platform::Consumer;
  v.major = 4;
  v.minor = minor;
  // The high word holds the version, as these systems report it.
  v.build = (4u << 24 | minor << 16) | build;
  return v;
}

TEST(WindowsName, NtFamilyByVersionAndProductType) {
  const struct {
    std::uint32_t major, minor;
    const char16_t *workstation, *server;
  } cases[] = {
      {3, 51, u"Windows NT 3", u"Windows NT 3"},  {4, 0, u"Windows NT 4", u"Windows NT 4"},
      {5, 0, u"Windows 2000", u"Windows 2000"},   {5, 1, u"Windows XP", u"Windows XP"},
      {5, 2, u"Windows XP", u"Windows 2003"},     {6, 0, u"Windows Vista", u"Windows 2008"},
      {6, 1, u"Windows 7", u"Windows 2008 R2"},   {6, 2, u"Windows 8", u"Windows 2012"},
      {6, 3, u"Windows 8.1", u"Windows 2012 R2"}, {6, 4, u"Windows NT New", u"Windows NT New"},
      {10, 0, u"Windows 10", u"Windows 10"},      {11, 0, u"Windows NT New", u"Windows NT New"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OsVersionName(Nt(c.major, c.minor)), c.workstation) << c.major << "." << c.minor;
    EXPECT_EQ(OsVersionName(Nt(c.major, c.minor, true)), c.server) << c.major << "." << c.minor;
  }
}

TEST(WindowsName, ConsumerFamilyByBuildInTheLowWord) {
  const struct {
    std::uint32_t major, minor, build;
    const char16_t* name;
  } cases[] = {
      {4, 0, 950, u"Windows 95"},        {4, 0, 1000, u"Windows 95"},
      {4, 0, 1111, u"Windows 95 OSR-2"}, {4, 3, 1212, u"Windows 95 OSR-2"},
      {4, 10, 1998, u"Windows 98"},      {4, 10, 2000, u"Windows 98"},
      {4, 10, 2222, u"Windows 98 SE"},   {4, 10, 2700, u"Windows 98 SE"},
      {4, 10, 2701, u"Windows ME"},      {4, 90, 3000, u"Windows ME"},
      {4, 11, 100, u"Windows ME"},       {4, 91, 100, u"Windows 9x New"},
      {5, 0, 100, u"Windows 9x New"},    {3, 95, 100, u"None"},
  };
  for (const auto& c : cases) {
    WindowsVersion v = Consumer(c.minor, c.build);
    v.major = c.major;
    EXPECT_EQ(OsVersionName(v), c.name) << c.major << "." << c.minor << "." << c.build;
  }
  EXPECT_EQ(OperatingSystemText(Consumer(10, 2222)), u"Windows 98 SE build 2222");
}

TEST(WindowsName, UnknownPlatformIsNone) {
  WindowsVersion v = Nt(10, 0);
  v.platform = Platform::Unknown;
  v.x64 = true;
  v.servicePack = u"Service Pack 1";
  EXPECT_EQ(OsVersionName(v), u"None");
}

TEST(WindowsName, SuffixesInTheirOrderThenTheServicePack) {
  WindowsVersion v = Nt(5, 1);
  v.serverR2 = v.tabletPc = v.starter = v.mediaCenter = v.x64 = true;
  v.servicePack = u"Service Pack 3";
  v.build = 2600;
  EXPECT_EQ(OsVersionName(v), u"Windows XP R2 Tablet PC Starter Media Center x64 Service Pack 3");
  EXPECT_EQ(OperatingSystemText(v),
            u"Windows XP R2 Tablet PC Starter Media Center x64 Service Pack 3 build 2600");

  WindowsVersion seven = Nt(6, 1);
  seven.x64 = true;
  seven.servicePack = u"Service Pack 1";
  EXPECT_EQ(OperatingSystemText(seven), u"Windows 7 x64 Service Pack 1 build 7601");
  seven.x64 = false;
  seven.servicePack.clear();
  EXPECT_EQ(OperatingSystemText(seven), u"Windows 7 build 7601");
}

TEST(WindowsName, MediaCenterOnlyBeforeVistaAndR2NotTwice) {
  WindowsVersion v = Nt(6, 1);
  v.mediaCenter = true;
  EXPECT_EQ(OsVersionName(v), u"Windows 7");
  v = Nt(5, 2, true);
  v.serverR2 = true;
  EXPECT_EQ(OsVersionName(v), u"Windows 2003 R2");
  v = Nt(6, 1, true);
  v.serverR2 = true;
  EXPECT_EQ(OsVersionName(v), u"Windows 2008 R2");
}

}  // namespace
}  // namespace ostrel
