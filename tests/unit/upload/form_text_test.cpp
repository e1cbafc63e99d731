#include <gtest/gtest.h>

#include "crash/settings/code_page.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/form_text.h"
#include "crash/ui/upload/mail_address.h"

namespace ostrel::upload {
namespace {

const Latin1CodePage kLatin1;

TEST(FormText, CodePageFitAndEncodedWords) {
  EXPECT_TRUE(FitsCodePage(u"caf\u00e9 ?", kLatin1));
  EXPECT_FALSE(FitsCodePage(u"\u20ac", kLatin1));
  EXPECT_EQ(EncodedWord(u"\u20ac"), "=?UTF-8?B?" + delivery::EncodeBase64("\xe2\x82\xac") + "?=");
  EXPECT_EQ(HeaderParameterText(u"BugReport", kLatin1, false), "BugReport");
  EXPECT_EQ(HeaderParameterText(u"caf\u00e9", kLatin1, false), "caf\xe9");
  EXPECT_EQ(HeaderParameterText(u"caf\u00e9", kLatin1, true), EncodedWord(u"caf\u00e9"));
  EXPECT_EQ(HeaderParameterText(u"\u20ac.txt", kLatin1, false), EncodedWord(u"\u20ac.txt"));
}

TEST(FormText, NamesThatWouldBreakTheHeaderAreEncodedWords) {
  for (const char16_t* name : {u"a\"b.txt", u"a\\b", u"line\r\nX-Injected: 1", u"tab\there"})
    EXPECT_EQ(HeaderParameterText(name, kLatin1, false), EncodedWord(name));
}

TEST(FormText, PercentEncodingKeepsOnlyDigitsAndLetters) {
  EXPECT_EQ(PercentEncoded(u"Az09"), "Az09");
  EXPECT_EQ(PercentEncoded(u"a b&c=d.e@f"), "a%20b%26c%3Dd%2Ee%40f");
  EXPECT_EQ(PercentEncoded(u"\u00e9\u20ac"), "%C3%A9%E2%82%AC");
}

TEST(MailAddress, ListsReducedOneByOne) {
  EXPECT_EQ(AddressPart(u"a@x.y"), u"<a@x.y>");
  EXPECT_EQ(AddressPart(u"Ann Lee <ann@x.y>"), u"<ann@x.y>");
  EXPECT_EQ(BareAddresses(u"Ostrel <support@x.y>"), u"support@x.y");
  // Every address of the list stays, not only the last one's brackets.
  EXPECT_EQ(BareAddresses(u"a@x.y; Bo <b@x.y> , <c@x.y>"), u"a@x.y,b@x.y,c@x.y");
  EXPECT_EQ(BareAddresses(u"  a@x.y ;; <b@x.y>, "), u"a@x.y,b@x.y");
  EXPECT_EQ(BareAddresses(u""), u"");
}

}  // namespace
}  // namespace ostrel::upload
