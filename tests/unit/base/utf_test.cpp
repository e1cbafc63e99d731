#include "crash/base/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace ostrel {
namespace {

constexpr char16_t kBad = 0xFFFD;

TEST(Utf16ToUtf8, EncodesAllPlanesAndReplacesLoneSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u"A\u00C4\u20AC\U0001F600"), "A\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
  // A high surrogate at the very end, and a low one before a high one.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', char16_t(0xDBFF)}), "x\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00), char16_t(0xD800)}),
            "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\0')), std::string(1, '\0'));
}

TEST(Utf8ToUtf16, DecodesEveryLengthAndRoundTrips) {
  const std::u16string text = u"A\u00C4\u07FF\u0800\u20AC\uFFFF\U00010000\U0001F600\U0010FFFF";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// Each malformed sequence becomes exactly one U+FFFD; what follows it is
// decoded on its own, so no valid character is swallowed.
TEST(Utf8ToUtf16, RejectsOverlongSurrogateAndOutOfRangeForms) {
  struct Case {
    const char* bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\xC0\x80", {kBad}},                                      // overlong NUL
      {"\xC1\xBF", {kBad}},                                      // overlong '\x7F'
      {"\xE0\x80\xAF", {kBad}},                                  // overlong '/'
      {"\xE0\x9F\xBF", {kBad}},                                  // overlong U+07FF
      {"\xF0\x8F\xBF\xBF", {kBad}},                              // overlong U+FFFF
      {"\xED\xA0\x80", {kBad}},                                  // an encoded high surrogate
      {"\xED\xBF\xBF", {kBad}},                                  // an encoded low surrogate
      {"\xF4\x90\x80\x80", {kBad}},                              // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", {kBad, kBad, kBad, kBad, kBad}},  // no five-byte forms
      {"\x80", {kBad}},                                          // a lone continuation byte
      {"\xFF", {kBad}},
      {"\xE2\x82", {kBad}},                 // cut short at the end
      {"\xE2\x41", {kBad, u'A'}},           // cut short by an ASCII byte
      {"\xC3\xC3\x84", {kBad, u'\u00C4'}},  // cut short by a new lead byte
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.bytes), c.expected) << c.bytes;
}

TEST(AsciiToUtf16, TakesEveryByteAsItsOwnCodeUnit) {
  // Bytes above 127 stay positive (Latin-1), never sign-extended to 0xFFxx.
  EXPECT_EQ(AsciiToUtf16("a\xE9\xFF"), (std::u16string{u'a', u'\u00E9', u'\u00FF'}));
  EXPECT_EQ(AsciiToUtf16(std::string("x\0y", 3)), std::u16string(u"x\0y", 3));
}

}  // namespace
}  // namespace ostrel
