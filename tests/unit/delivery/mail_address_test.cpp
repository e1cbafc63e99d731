#include "crash/ui/delivery/mail_address.h"

#include <gtest/gtest.h>

#include "crash/ui/delivery/mime_type.h"
#include "mime_reading.h"

namespace ostrel::delivery {
namespace {

TEST(AddressList, NormalisedAndCounted) {
  struct Case {
    std::u16string in, out;
    int count;
  };
  for (const Case& c : {Case{u"", u"", 0}, Case{u"  ", u"", 0}, Case{u"a@b.c", u"a@b.c", 1},
                        Case{u" a@b.c ; d@e.f,g@h.i ", u"a@b.c,d@e.f,g@h.i", 3},
                        Case{u"Ann <a@b.c> ;", u"Ann <a@b.c>,", 2}}) {
    std::u16string list = c.in;
    EXPECT_EQ(NormalizeAddressList(list), c.count);
    EXPECT_EQ(list, c.out);
  }
  EXPECT_EQ(SplitAddressList(u"a@b.c;; d@e.f ,"),
            (std::vector<std::u16string>{u"a@b.c", u"d@e.f"}));
}

TEST(MailAddressText, ReadIntoNameAndAddress) {
  const auto plain = ParseMailAddress(u" support@example.org ");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->name, u"");
  EXPECT_EQ(plain->address, u"support@example.org");
  const auto named = ParseMailAddress(u"Ostrel  <support@example.org> (the team)");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->name, u"Ostrel");
  EXPECT_EQ(named->address, u"support@example.org");
  EXPECT_EQ(EnvelopeAddress(*named), "<support@example.org>");
  const auto open = ParseMailAddress(u"Ann <ann@example.org");
  ASSERT_TRUE(open);
  EXPECT_EQ(EnvelopeAddress(*open), "<ann@example.org>");
}

TEST(MailAddressText, WhatWouldBreakACommandIsRefused) {
  for (const char16_t* bad : {u"", u"Ann <>", u"a@b.c\r\nRCPT TO:<x@y.z>", u"a b@c.d", u"<a<b@c.d>",
                              u"Ann\n <a@b.c>", u"a@b.c\x7f"})
    EXPECT_FALSE(ParseMailAddress(bad)) << std::u16string(bad).size();
}

TEST(MailAddressText, HeaderTokensQuoteOrEncodeTheName) {
  auto tokens = [](const char16_t* text, bool utf8 = false) {
    return HeaderAddressTokens(*ParseMailAddress(text), utf8);
  };
  EXPECT_EQ(tokens(u"a@b.c"), std::vector<std::string>{"<a@b.c>"});
  EXPECT_EQ(tokens(u"Ostrel <a@b.c>"), (std::vector<std::string>{"Ostrel", "<a@b.c>"}));
  EXPECT_EQ(tokens(u"Lee. Ann <a@b.c>"), (std::vector<std::string>{"\"Lee. Ann\"", "<a@b.c>"}));
  EXPECT_EQ(tokens(u"\"Lee. Ann\" <a@b.c>"), (std::vector<std::string>{"\"Lee. Ann\"", "<a@b.c>"}));
  EXPECT_EQ(tokens(u"say \"hi\": <a@b.c>"),
            (std::vector<std::string>{"\"say \\\"hi\\\":\"", "<a@b.c>"}));
  // Latin-1 is not ASCII: a header carries 7 bits only.
  const std::vector<std::string> jorg = tokens(u"J\u00f6rg <a@b.c>");
  ASSERT_EQ(jorg.size(), 2u);
  EXPECT_EQ(jorg[0], "=?UTF-8?B?SsO2cmc=?=");
  EXPECT_EQ(tokens(u"Ann <a@b.c>", true)[0], "=?UTF-8?B?QW5u?=");
}

TEST(MailAddressText, DomainForTheMailServer) {
  EXPECT_EQ(AddressDomain(u"ann@mail.example.org"), u"mail.example.org");
  EXPECT_EQ(AddressDomain(u"Ann <ann@example.org>"), u"example.org");
  EXPECT_EQ(AddressDomain(u"\"a@b\"@example.org"), u"example.org");
  EXPECT_EQ(AddressDomain(u"no-domain"), u"");
}

TEST(MimeType, ByExtensionWithoutRegardToCase) {
  EXPECT_EQ(MimeTypeOf(u"bugreport.txt"), "text/plain");
  EXPECT_EQ(MimeTypeOf(u"a.OBR"), "text/plain");
  EXPECT_EQ(MimeTypeOf(u"setup.Ini"), "text/plain");
  EXPECT_EQ(MimeTypeOf(u"shot.JPG"), "image/jpeg");
  EXPECT_EQ(MimeTypeOf(u"shot.jpeg"), "image/jpeg");
  EXPECT_EQ(MimeTypeOf(u"screenshot.png"), "image/png");
  EXPECT_EQ(MimeTypeOf(u"all.zip"), "application/zip");
  EXPECT_EQ(MimeTypeOf(u"zip"), "application/octet-stream");
  EXPECT_EQ(MimeTypeOf(u"report.txt.gz"), "application/octet-stream");
  EXPECT_EQ(MimeTypeOf(u"a.t\u00ebxt"), "application/octet-stream");
}

}  // namespace
}  // namespace ostrel::delivery
