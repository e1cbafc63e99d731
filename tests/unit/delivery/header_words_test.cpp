#include "crash/ui/delivery/header_words.h"

#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/ui/delivery/mail_date.h"
#include "mime_reading.h"

namespace ostrel::delivery {
namespace {

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

TEST(EncodedWords, ShortTextsAreOneWord) {
  EXPECT_EQ(Latin1EncodedWords(u"bug report"),
            std::vector<std::string>{"=?ISO-8859-1?Q?bug=20report?="});
  EXPECT_EQ(Latin1EncodedWords(u"\u00e9t\u00e9 1_2"),
            std::vector<std::string>{"=?ISO-8859-1?Q?=E9t=E9=201=5F2?="});
  EXPECT_EQ(Utf8EncodedWords(u"\u20ac"), std::vector<std::string>{"=?UTF-8?B?4oKs?="});
  EXPECT_EQ(Utf8EncodedWords(u""), std::vector<std::string>{"=?UTF-8?B?"
                                                            "?="});
}

TEST(EncodedWords, LongTextsSplitAtCharactersAndDecodeBack) {
  // Euro signs (3 bytes), a character beyond the BMP (a surrogate pair, 4
  // bytes) and ASCII, long enough for several words.
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += u"\u20ac\U0001F41Bx";
  const std::vector<std::string> words = Utf8EncodedWords(text);
  ASSERT_GT(words.size(), 3u);
  for (const std::string& w : words) {
    EXPECT_LE(w.size(), kEncodedWordLimit);
    // Each word decodes to whole characters on its own.
    const std::string bytes = testing::DecodeEncodedWords(w);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(bytes)), bytes);
    EXPECT_EQ(Utf8ToUtf16(bytes).find(u'\ufffd'), std::u16string::npos) << w;
  }
  EXPECT_EQ(testing::DecodeEncodedWords(Joined(words)), Utf16ToUtf8(text));

  std::u16string latin(120, u'\u00fc');
  const std::vector<std::string> q = Latin1EncodedWords(latin);
  for (const std::string& w : q) {
    EXPECT_LE(w.size(), kEncodedWordLimit);
    EXPECT_EQ(w.find("=F?"), std::string::npos) << "an escape cut in two";
  }
  EXPECT_EQ(testing::DecodeEncodedWords(Joined(q)), std::string(120, '\xfc'));
}

TEST(HeaderFolding, LinesStayShortAndUnfoldToTheText) {
  std::vector<std::string> tokens;
  for (int i = 0; i < 12; ++i)
    tokens.push_back("<recipient" + std::to_string(i) + "@example.org>,");
  const std::string field = FoldHeader("To", tokens);
  ASSERT_TRUE(field.ends_with("\r\n"));
  const std::vector<std::string> lines = testing::Lines(field);
  ASSERT_GT(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with("To: <recipient0@example.org>,"));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), kHeaderLineLimit) << lines[i];
    if (i > 0) {
      EXPECT_EQ(lines[i][0], ' ');
    }
  }
  const testing::MimeEntity unfolded = testing::ReadEntity(field + "\r\n");
  EXPECT_EQ(unfolded.Header("to"), Joined(tokens));
  // A token longer than a line stays whole beside the name.
  EXPECT_EQ(FoldHeader("X", {std::string(100, 'a')}), "X: " + std::string(100, 'a') + "\r\n");
  EXPECT_EQ(FoldHeader("X", {}), "X:\r\n");
}

TEST(HeaderText, QuotedStringsAndCharacterClasses) {
  EXPECT_EQ(QuotedString(u"a \"b\" \\c"), "\"a \\\"b\\\" \\\\c\"");
  EXPECT_TRUE(IsPrintableAscii(u" ~az"));
  EXPECT_FALSE(IsPrintableAscii(u"a\tb"));
  EXPECT_FALSE(IsPrintableAscii(u"\u00e9"));
  EXPECT_TRUE(IsLatin1(u"\u00ff"));
  EXPECT_FALSE(IsLatin1(u"\u0100"));
}

TEST(MailDate, DateAndIdentifierFromTheFileTime) {
  // 7 March 2024 09:05:03.5 UTC.
  const std::uint64_t t = FileTimeOfDateTime({2024, 3, 7, 9, 5, 3}) + 5'000'000;
  EXPECT_EQ(t, 133542759035000000u);
  EXPECT_EQ(MailDateText(t), "7 Mar 2024 09:05:03 UT");
  EXPECT_EQ(MessageIdText(t), "<01DA706E8A9B54C0@Ostrel>");
  // The first file time, a leap day, a year's last second, far ahead.
  const UtcDateTime cases[] = {{1601, 1, 1, 0, 0, 0},
                               {2000, 2, 29, 12, 0, 0},
                               {1999, 12, 31, 23, 59, 59},
                               {2100, 3, 1, 0, 0, 1},
                               {30000, 10, 20, 1, 2, 3}};
  for (const UtcDateTime& c : cases) {
    const UtcDateTime back = DateTimeOfFileTime(FileTimeOfDateTime(c));
    EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second),
              std::tie(c.year, c.month, c.day, c.hour, c.minute, c.second))
        << c.year;
  }
  EXPECT_EQ(FileTimeOfDateTime({1601, 1, 1, 0, 0, 0}), 0u);
  // The Unix epoch is 11644473600 seconds after the file time's.
  EXPECT_EQ(FileTimeOfDateTime({1970, 1, 1, 0, 0, 0}), 116444736000000000u);
  EXPECT_EQ(MailDateText(FileTimeOfDateTime({2023, 12, 31, 0, 0, 0})), "31 Dec 2023 00:00:00 UT");
}

}  // namespace
}  // namespace ostrel::delivery
