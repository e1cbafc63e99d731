#include "crash/settings/placeholders.h"

#include <gtest/gtest.h>

#include "tests/unit/settings/settings_test_support.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

std::u16string Expand(FixedSystem& sys, std::u16string_view text, ModuleHandle module = kDll) {
  return ExpandPlaceholders(sys, module, text, u"EAbort", u"at 0x1234", u"REPORT", u"boom");
}

TEST(Placeholders, DateAndTimeFormats) {
  FixedSystem sys;
  EXPECT_EQ(Expand(sys, u"%date%"), u"2024-03-02");
  EXPECT_EQ(Expand(sys, u"%time%"), u"09:05:03, 7ms");
  EXPECT_EQ(Expand(sys, u"%datetime%"), u"2024-03-02, 09:05:03, 7ms");
  sys.now = {2025, 12, 31, 23, 59, 58, 999};
  EXPECT_EQ(Expand(sys, u"%TIME%|%Date%"), u"23:59:58, 999ms|2025-12-31");
}

TEST(Placeholders, EveryNameIsReplacedWithoutRegardToCase) {
  FixedSystem sys;
  EXPECT_EQ(Expand(sys, u"%APPNAME% %modname% %appversion% %modversion%"),
            u"Pelmora.exe plugin.dll 1.1.0.7 ?");
  EXPECT_EQ(Expand(sys, u"%exceptclass%: %exceptMsg% / %errorDetails% / %bugReport%"),
            u"EAbort: boom / at 0x1234 / REPORT");
  EXPECT_EQ(Expand(sys, u"a%LF%b"), u"a\r\nb");
  EXPECT_EQ(Expand(sys, u"%computerName% on %os%"),
            u"DESK-7 on Windows 7 build 7601 Service Pack 1");
  EXPECT_EQ(Expand(sys, u"%desktop%|%userappdata%|%commonappdata%"),
            u"C:\\Users\\ann\\Desktop|C:\\Users\\ann\\AppData\\Roaming|C:\\ProgramData");
  EXPECT_EQ(Expand(sys, u"%modname%", 0), u"Pelmora.exe");
  EXPECT_EQ(Expand(sys, u"100% sure, %unknown%"), u"100% sure, %unknown%");
}

TEST(Placeholders, EmptyMessageIsUnknown) {
  FixedSystem sys;
  EXPECT_EQ(ExpandPlaceholders(sys, 0, u"[%exceptMsg%]", u"", u"", u"", u""), u"[Unknown]");
}

TEST(Placeholders, ShellFoldersWithoutPathUseTheProgramFolder) {
  FixedSystem sys;
  sys.folders[ShellFolder::Desktop] = u"";               // known, no path
  sys.folders[ShellFolder::UserAppData] = std::nullopt;  // unknown
  EXPECT_EQ(Expand(sys, u"<%desktop%><%userappdata%>"), u"<C:\\Apps><>");
}

TEST(Placeholders, ReplacementsAreNotExpandedAgainAndTheClockIsReadOnce) {
  FixedSystem sys;
  EXPECT_EQ(ExpandPlaceholders(sys, 0, u"%exceptMsg%", u"", u"", u"", u"%exceptMsg%"),
            u"%exceptMsg%");
  Expand(sys, u"%date% %time% %datetime%");
  EXPECT_EQ(sys.clockReads, 1);
  Expand(sys, u"no clock here");
  EXPECT_EQ(sys.clockReads, 1);
}

}  // namespace
}  // namespace ostrel
