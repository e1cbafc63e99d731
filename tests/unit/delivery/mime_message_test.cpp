#include "crash/ui/delivery/mime_message.h"

#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/ui/delivery/header_words.h"
#include "crash/ui/delivery/mail_date.h"
#include "mime_reading.h"
#include "tests/support/random_bytes.h"

namespace ostrel::delivery {
namespace {

using testing::DecodeBase64;
using testing::DecodeEncodedWords;
using testing::Lines;
using testing::MimeEntity;

MailMessage Sample() {
  MailMessage m;
  m.from = *ParseMailAddress(u"Ostrel <support@example.org>");
  m.to = {*ParseMailAddress(u"support@example.org")};
  m.replyTo = m.from;
  m.subject = u"bug report";
  m.body = u"please find the bug report attached";
  m.fileTime = FileTimeOfDateTime({2024, 3, 7, 9, 5, 3});
  return m;
}

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint32_t seed) {
  return test_data::RandomBytes(n, seed);
}

TEST(MimeMessage, HeadOfThePlainMessage) {
  const std::string boundary = kMultipartBoundary;
  EXPECT_EQ(MessageHead(Sample()),
            "To: <support@example.org>\r\n"
            "From: Ostrel <support@example.org>\r\n"
            "Reply-To: Ostrel <support@example.org>\r\n"
            "Subject: =?ISO-8859-1?Q?bug=20report?=\r\n"
            "Date: 7 Mar 2024 09:05:03 UT\r\n"
            "Message-ID: " +
                MessageIdText(Sample().fileTime) +
                "\r\n"
                "MIME-Version: 1.0\r\n"
                "Content-Type: multipart/mixed; boundary=\"" +
                boundary +
                "\"\r\n"
                "\r\n"
                "This is a multi-part message in MIME format.\r\n"
                "\r\n"
                "--" +
                boundary +
                "\r\n"
                "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                "Content-Transfer-Encoding: 8bit\r\n"
                "\r\n"
                "please find the bug report attached\r\n");
  EXPECT_EQ(MessageEnd(), "--" + boundary + "--\r\n\r\n");
  // The boundary: printable, at most 70 characters, nothing Base64 makes.
  EXPECT_LE(boundary.size(), 70u);
  EXPECT_NE(boundary.find("=_"), std::string::npos);
}

TEST(MimeMessage, SeveralRecipientsFoldedAndNamesEncoded) {
  MailMessage m = Sample();
  m.to.clear();
  for (int i = 0; i < 6; ++i)
    m.to.push_back(*ParseMailAddress(u"Support Team " + Utf8ToUtf16(std::to_string(i)) + u" <team" +
                                     Utf8ToUtf16(std::to_string(i)) + u"@example.org>"));
  m.to.push_back(*ParseMailAddress(u"Jörg Ünal <j@example.de>"));
  const std::string head = MessageHead(m);
  for (const std::string& line : Lines(head.substr(0, head.find("\r\n\r\n"))))
    EXPECT_LE(line.size(), kHeaderLineLimit) << line;
  const MimeEntity entity = testing::ReadEntity(head);
  const std::string to = DecodeEncodedWords(*entity.Header("To"));
  EXPECT_EQ(to.find("Support Team 0 <team0@example.org>, Support Team 1 <team1@example.org>,"), 0u)
      << to;
  EXPECT_TRUE(to.ends_with(", J\xc3\xb6rg \xc3\x9cnal <j@example.de>")) << to;
}

TEST(MimeMessage, SubjectAsLatin1OrUtf8Words) {
  MailMessage m = Sample();
  m.subject = u"Fehler in Größe";
  MimeEntity e = testing::ReadEntity(MessageHead(m));
  EXPECT_EQ(*e.Header("Subject"), "=?ISO-8859-1?Q?Fehler=20in=20Gr=F6=DFe?=");
  m.subject = u"Fehler: 5 €";
  e = testing::ReadEntity(MessageHead(m));
  EXPECT_EQ(*e.Header("Subject"), "=?UTF-8?B?RmVobGVyOiA1IOKCrA==?=");
  m.subject = u"plain";
  m.forceUtf8 = true;
  e = testing::ReadEntity(MessageHead(m));
  EXPECT_EQ(*e.Header("Subject"), "=?UTF-8?B?cGxhaW4=?=");
  m.subject = std::u16string(200, u'\u00e4');
  m.forceUtf8 = false;
  e = testing::ReadEntity(MessageHead(m));
  EXPECT_EQ(DecodeEncodedWords(*e.Header("Subject")), std::string(200, '\xe4'));
}

TEST(MimeMessage, BodyCharsetsAndLineBreaks) {
  MailMessage m = Sample();
  m.body = u"Gr\u00fc\u00dfe\nline two\rline three\r\nend";
  MimeEntity part = testing::ReadParts(BuildMimeMessage(m), kMultipartBoundary).at(0);
  EXPECT_EQ(*part.Header("Content-Type"), "text/plain; charset=\"iso-8859-1\"");
  EXPECT_EQ(*part.Header("Content-Transfer-Encoding"), "8bit");
  EXPECT_EQ(part.body,
            "Gr\xfc\xdf"
            "e\r\nline two\r\nline three\r\nend");

  m.body = u"Kosten: 5 \u20ac\n\u043f\u0440\u0438\u0432\u0435\u0442 " + std::u16string(100, u'x');
  part = testing::ReadParts(BuildMimeMessage(m), kMultipartBoundary).at(0);
  EXPECT_EQ(*part.Header("Content-Type"), "text/plain; charset=\"utf-8\"");
  EXPECT_EQ(*part.Header("Content-Transfer-Encoding"), "base64");
  for (const std::string& line : Lines(part.body)) EXPECT_LE(line.size(), 76u);
  EXPECT_EQ(DecodeBase64(part.body),
            "Kosten: 5 \xe2\x82\xac\r\n\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 " +
                std::string(100, 'x'));
}

TEST(MimeMessage, BodiesEightBitsCannotCarryGoInBase64) {
  const std::u16string delimiter = u"--" + Utf8ToUtf16(kMultipartBoundary);
  for (const std::u16string& body : {std::u16string(999, u'a'), u"line\n" + delimiter + u"--\nmore",
                                     std::u16string(u"nul \0 byte", 10)}) {
    MailMessage m = Sample();
    m.body = body;
    EXPECT_STREQ(ChooseBodyEncoding(m).transfer, "base64");
    const std::vector<MimeEntity> parts =
        testing::ReadParts(BuildMimeMessage(m), kMultipartBoundary);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(*parts[0].Header("Content-Type"), "text/plain; charset=\"iso-8859-1\"");
    std::string expected;
    for (char16_t c : body)
      expected += c == u'\n' ? std::string("\r\n") : std::string(1, static_cast<char>(c));
    EXPECT_EQ(DecodeBase64(parts[0].body), expected);
  }
  MailMessage m = Sample();
  m.body = std::u16string(998, u'a');
  EXPECT_STREQ(ChooseBodyEncoding(m).transfer, "8bit");
}

TEST(MimeMessage, AttachmentsInLinesOf340DecodeBackEqual) {
  MailMessage m = Sample();
  m.attachments = {{u"bugreport.txt", Bytes(20, 1)},
                   {u"screenshot.png", Bytes(1000, 2)},
                   {u"empty.bin", {}},
                   {u"exactly.zip", Bytes(510, 3)}};
  const std::string text = BuildMimeMessage(m);
  const MimeEntity whole = testing::ReadEntity(text);
  const std::vector<MimeEntity> parts = testing::ReadParts(whole.body, kMultipartBoundary);
  ASSERT_EQ(parts.size(), 5u);
  EXPECT_TRUE(text.ends_with("--" + std::string(kMultipartBoundary) + "--\r\n\r\n"));
  // A 20-byte attachment is one line of 28 characters.
  EXPECT_EQ(parts[1].body, testing::Lines(parts[1].body).at(0));
  EXPECT_EQ(parts[1].body.size(), 28u);
  const char* types[] = {"text/plain", "image/png", "application/octet-stream", "application/zip"};
  for (std::size_t i = 0; i < m.attachments.size(); ++i) {
    const MimeEntity& part = parts[i + 1];
    const std::string name = Utf16ToUtf8(m.attachments[i].name);
    EXPECT_EQ(*part.Header("Content-Type"), std::string(types[i]) + "; name=\"" + name + "\"");
    EXPECT_EQ(*part.Header("Content-Transfer-Encoding"), "base64");
    EXPECT_EQ(*part.Header("Content-Disposition"), "attachment; filename=\"" + name + "\"");
    const std::vector<std::string> lines = Lines(part.body);
    for (std::size_t l = 0; l + 1 < lines.size(); ++l) EXPECT_EQ(lines[l].size(), 340u);
    EXPECT_EQ(DecodeBase64(part.body),
              std::string(m.attachments[i].bytes.begin(), m.attachments[i].bytes.end()));
  }
  EXPECT_EQ(Lines(parts[4].body).size(), 2u);
}

TEST(MimeMessage, AttachmentNamesQuotedOrEncoded) {
  const std::string quoted = AttachmentHead(u"my \"best\" report.txt");
  EXPECT_NE(quoted.find("name=\"my \\\"best\\\" report.txt\""), std::string::npos) << quoted;
  const std::u16string name =
      u"Fehlerbericht f\u00fcr M\u00fcller \u2013 " + std::u16string(40, u'\u00e9') + u".png";
  const MimeEntity head = testing::ReadEntity(AttachmentHead(name).substr(
      std::string("--").size() + std::string(kMultipartBoundary).size() + 2));
  const std::string type = *head.Header("Content-Type");
  ASSERT_TRUE(type.starts_with("image/png; name=\"=?UTF-8?B?")) << type;
  EXPECT_EQ(DecodeEncodedWords(type), "image/png; name=\"" + Utf16ToUtf8(name) + "\"");
  EXPECT_EQ(DecodeEncodedWords(*head.Header("Content-Disposition")),
            "attachment; filename=\"" + Utf16ToUtf8(name) + "\"");
  for (const std::string& line : Lines(AttachmentHead(name))) EXPECT_LE(line.size(), 998u);
}

}  // namespace
}  // namespace ostrel::delivery
