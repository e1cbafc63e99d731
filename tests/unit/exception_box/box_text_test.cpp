#include "crash/ui/exception_box/box_text.h"

#include <gtest/gtest.h>

namespace ostrel::box {
namespace {

TEST(BreakMessageLines, ShortMessagesStayWhole) {
  // 29 characters with sentence ends everywhere: below the limit.
  const std::u16string m29 = u"Abc. Def. Ghi. Jkl. Mno. Pqrs";
  ASSERT_EQ(m29.size(), 29u);
  EXPECT_EQ(BreakMessageLines(m29), m29);
  EXPECT_EQ(BreakMessageLines(u""), u"");
  EXPECT_EQ(BreakMessageLines(u"."), u".");
}

TEST(BreakMessageLines, OnlySentenceEndsBetween20AndLengthMinus10) {
  // 56 characters; full stops at 1-based 19 (too early), 21 and 36 (broken)
  // and 49 (beyond 56 - 10).
  const std::u16string m = u"0123456789abcdefgh. . xyz0123456789. kl mnopqrst. uvwxyz";
  ASSERT_EQ(m.size(), 56u);
  EXPECT_EQ(BreakMessageLines(m),
            u"0123456789abcdefgh. .\r\nxyz0123456789.\r\nkl mnopqrst. uvwxyz");
}

TEST(BreakMessageLines, RealMessage) {
  const std::u16string m =
      u"Access violation at address 004019DA. Read of address 00000000. Please retry.";
  EXPECT_EQ(BreakMessageLines(m),
            u"Access violation at address 004019DA.\r\nRead of address 00000000.\r\nPlease "
            u"retry.");
  // 41 characters: the full stops at 32 and 39 lie beyond 41 - 10.
  const std::u16string tail = u"Something went wrong here today. See x. y";
  EXPECT_EQ(BreakMessageLines(tail), tail);
  // A full stop not followed by a blank, and a blank not after a full stop.
  EXPECT_EQ(BreakMessageLines(u"Version 1.2.3 of the program had a problem, sorry"),
            u"Version 1.2.3 of the program had a problem, sorry");
}

TEST(BreakMessageLines, BoundaryPositionsExactly) {
  // Length 30: only p = 20 is examined.
  std::u16string m(30, u'x');
  m[19] = u'.';
  m[20] = u' ';
  std::u16string broken = BreakMessageLines(m);
  EXPECT_EQ(broken.size(), 31u);
  EXPECT_EQ(broken.substr(19, 3), u".\r\n");
  // One further right is beyond length - 10.
  m = std::u16string(30, u'x');
  m[20] = u'.';
  m[21] = u' ';
  EXPECT_EQ(BreakMessageLines(m), m);
}

}  // namespace
}  // namespace ostrel::box
