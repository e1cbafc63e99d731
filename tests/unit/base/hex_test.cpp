#include "crash/base/hex.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(HexText, PadsToTheWidthAskedAndNeverCuts) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(0, 8), "00000000");
  EXPECT_EQ(HexText(0xABC, 8), "00000abc");
  EXPECT_EQ(HexText(0xABC, 8, true), "00000ABC");
  EXPECT_EQ(HexText(0x12345678, 2), "12345678");
  EXPECT_EQ(HexText(0xFFFFFFFFu), "ffffffff");
  EXPECT_EQ(HexText(0x0123456789ABCDEFull, 0, true), "123456789ABCDEF");
  EXPECT_EQ(HexText(0xFEDCBA9876543210ull), "fedcba9876543210");
  EXPECT_EQ(HexText(5, 20), "00000000000000000005");
}

TEST(HexText16, IsTheSameDigitsAsUtf16) {
  EXPECT_EQ(HexText16(0x7F1E, 8), u"00007f1e");
  EXPECT_EQ(HexText16(0xBEEF, 0, true), u"BEEF");
  static_assert(HexDigit(10) == 'a' && HexDigit(10, true) == 'A' && HexDigit(0x1F) == 'f');
}

}  // namespace
}  // namespace ostrel
