#include "crash/settings/packed_string.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ostrel {
namespace {

TEST(PackedString, EmptyTextIsNull) {
  Latin1CodePage cp;
  EXPECT_EQ(PackText(u"", cp), nullptr);
  EXPECT_EQ(PackNarrow(""), nullptr);
  EXPECT_EQ(UnpackText(nullptr, cp), u"");
}

TEST(PackedString, TextThatSurvivesTheCodePageIsStoredNarrowOnly) {
  Latin1CodePage cp;
  char* p = PackText(u"caf\u00E9", cp);
  EXPECT_STREQ(p, "caf\xE9");
  EXPECT_EQ(PackedBlockSize(p), 5u);
  EXPECT_FALSE(PackedHasWideForm(p));
  EXPECT_EQ(UnpackText(p, cp), u"caf\u00E9");
  FreePacked(p);
}

TEST(PackedString, CharactersAbove255KeepTheirUtf16Form) {
  Latin1CodePage cp;
  for (const std::u16string text : {u"\u20AC", u"a\u0416b", u"x\U0001F600"}) {
    char* p = PackText(text, cp);
    EXPECT_TRUE(PackedHasWideForm(p));
    EXPECT_GT(PackedBlockSize(p), 3 * std::strlen(p));
    EXPECT_EQ(UnpackText(p, cp), text);
    // The 8-bit form is still there for 8-bit readers.
    EXPECT_EQ(std::strlen(p), cp.Narrow(text).size());
    FreePacked(p);
  }
}

TEST(PackedString, NarrowTextIsStoredAsItIs) {
  char* p = PackNarrow("abc");
  EXPECT_EQ(UnpackNarrow(p), "abc");
  EXPECT_FALSE(PackedHasWideForm(p));
  FreePacked(p);
}

}  // namespace
}  // namespace ostrel
