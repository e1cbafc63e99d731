#include "crash/base/text_case.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(AsciiCase, FoldsOnlyTheTwentySixLetters) {
  EXPECT_TRUE(EqualsNoCase(u"Ostrel.HandleContactForm", u"OSTREL.handlecontactform"));
  EXPECT_TRUE(EqualsNoCase("Content-Length", "content-LENGTH"));
  // The neighbours of the letters, which an "| 0x20" trick would mix up.
  EXPECT_FALSE(EqualsNoCase(u"@[\\]^", u"`{|}~"));
  EXPECT_FALSE(EqualsNoCase("@[", "`{"));
  EXPECT_FALSE(EqualsNoCase(u"\u00C4", u"\u00E4")) << "Latin-1 letters stay apart";
  EXPECT_FALSE(EqualsNoCase(u"a", u"\u0141")) << "no truncation to 8 bits";
  EXPECT_FALSE(EqualsNoCase(u"ab", u"abc"));
  EXPECT_EQ(AsciiLower(u'Q'), u'q');
  EXPECT_EQ(AsciiLower('\xC4'), '\xC4');
  EXPECT_EQ(AsciiUpper(u'q'), u'Q');
  EXPECT_EQ(AsciiUpper(u'\u00E4'), u'\u00E4');
}

TEST(AsciiCase, PrefixSuffixAndSearch) {
  EXPECT_TRUE(StartsWithNoCase(u"%SystemRoot%\\x", u"%systemroot%"));
  EXPECT_TRUE(StartsWithNoCase("HTTPS://host", "https://"));
  EXPECT_FALSE(StartsWithNoCase("http", "https://"));
  EXPECT_TRUE(EndsWithNoCase(u"C:\\P\\Pelmora.EXE", u"pelmora.exe"));
  EXPECT_FALSE(EndsWithNoCase(u"exe", u".exe"));

  EXPECT_EQ(FindNoCase(u"a %LF% b %lf%", u"%lf%"), 2u);
  EXPECT_EQ(FindNoCase(u"a %LF% b %lf%", u"%lf%", 3), 9u);
  EXPECT_EQ(FindNoCase(u"a %LF%", u"%lf%", 7), std::u16string_view::npos) << "past the end";
  EXPECT_EQ(FindNoCase(u"abc", u"", 3), 3u);
  EXPECT_EQ(FindNoCase(u"ab", u"abc"), std::u16string_view::npos);
  EXPECT_TRUE(ContainsNoCase(u"C:\\Office\\OUTLOOK.EXE /c", u"outlook"));
  EXPECT_TRUE(ContainsNoCase("_DATA", "data"));
  EXPECT_FALSE(ContainsNoCase("_DAT", "data"));
  EXPECT_TRUE(ContainsNoCase(u"", u""));
}

TEST(Latin1Case, FoldsLettersBelow256AndNothingAbove) {
  EXPECT_TRUE(EqualsNoCaseLatin1(u"\u00C4RGER \u00DE", u"\u00E4rger \u00FE"));
  EXPECT_FALSE(EqualsNoCaseLatin1(u"\u00D7", u"\u00F7")) << "multiplication and division signs";
  EXPECT_FALSE(EqualsNoCaseLatin1(u"\u0100", u"\u0101")) << "beyond Latin-1";
  EXPECT_FALSE(EqualsNoCaseLatin1(u"\u00DF", u"\u00FF"));
  EXPECT_FALSE(EqualsNoCaseLatin1(u"ab", u"AB "));
  EXPECT_EQ(Latin1Lower(u'\u00C0'), u'\u00E0');
  EXPECT_EQ(Latin1Lower(u'\u00DE'), u'\u00FE');
}

TEST(Latin1Case, OrdersByTheLowerCaseForm) {
  EXPECT_EQ(CompareNoCaseLatin1(u"Disk", u"dISK"), 0);
  EXPECT_LT(CompareNoCaseLatin1(u"_x", u"Ax"), 0) << "'_' before 'a', though after 'A'";
  EXPECT_GT(CompareNoCaseLatin1(u"Mouse", u"mice"), 0);
  EXPECT_GT(CompareNoCaseLatin1(u"\u00C4", u"z"), 0);
  EXPECT_LT(CompareNoCaseLatin1(u"Port", u"ports"), 0);
  EXPECT_GT(CompareNoCaseLatin1(u"PORTS", u"port"), 0);
}

}  // namespace
}  // namespace ostrel
