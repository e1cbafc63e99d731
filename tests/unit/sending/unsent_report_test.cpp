#include "crash/ui/sending/unsent_report.h"

#include <gtest/gtest.h>

namespace ostrel::sending {
namespace {

UnsentReport Sample() {
  return {u"SMTP: No connection to server\r\n(second line)", 0x01DB4F00AABBCCDDull,
          u"date/time : 2026\r\nuser name : root <admin>\r\n\r\n\u00e9\u4e2d .NET & more\r\n"};
}

TEST(UnsentReport, RoundTripsTextAndKeepsTheReasonOnOneLine) {
  const std::string bytes = FormatUnsentReport(Sample());
  std::string error;
  const auto back = ParseUnsentReport(bytes, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->text, Sample().text);
  EXPECT_EQ(back->fileTime, Sample().fileTime);
  EXPECT_EQ(back->reason, u"SMTP: No connection to server  (second line)");
  // The reason's line breaks would otherwise have ended the head early.
  const std::size_t blank = bytes.find("\r\n\r\n");
  EXPECT_GT(blank, bytes.find("length: "));
}

TEST(UnsentReport, RefusesEveryTruncationAndForeignFiles) {
  const std::string bytes = FormatUnsentReport(Sample());
  std::string error;
  for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(ParseUnsentReport(bytes.substr(0, cut), error)) << "cut at " << cut;
  EXPECT_FALSE(ParseUnsentReport(bytes + "x", error));
  EXPECT_EQ(error, "the report was cut short");
  EXPECT_FALSE(ParseUnsentReport("date/time : 2026\r\n", error));
  EXPECT_EQ(error, "not a kept report");

  std::string badTime = bytes;
  badTime.replace(badTime.find("time: ") + 6, 1, "g");
  EXPECT_FALSE(ParseUnsentReport(badTime, error));
  std::string hugeLength = bytes;
  const std::size_t at = hugeLength.find("length: ") + 8;
  hugeLength.insert(at, "99999999999999999999");
  EXPECT_FALSE(ParseUnsentReport(hugeLength, error));
}

TEST(UnsentReport, EmptyReportAndReasonRoundTrip) {
  std::string error;
  const auto back = ParseUnsentReport(FormatUnsentReport({u"", 0, u""}), error);
  ASSERT_TRUE(back) << error;
  EXPECT_TRUE(back->text.empty());
  EXPECT_TRUE(back->reason.empty());
}

TEST(UnsentFileName, SortsByTimeAndMatchesItsPattern) {
  const std::u16string early = UnsentFileName(u"bugreport.txt", 0x00000000FFFFFFFFull, 7);
  const std::u16string late = UnsentFileName(u"bugreport.txt", 0x0000000100000000ull, 3);
  EXPECT_EQ(early, u"bugreport-unsent-00000000FFFFFFFF-00000007.txt");
  EXPECT_LT(early, late);
  EXPECT_EQ(UnsentFilePattern(u"bugreport.txt"), u"bugreport-unsent-*.txt");
  EXPECT_EQ(UnsentFilePattern(u"report"), u"report-unsent-*.txt");
  EXPECT_EQ(UnsentFileName(u"a.b.obr", 1, 1), u"a.b-unsent-0000000000000001-00000001.txt");
}

TEST(UnsentOfferText, NamesTheReasonEverywhereAndOnlyOnce) {
  EXPECT_EQ(UnsentOfferText(u"Failed (%reason%). Again? %reason%", u"timeout"),
            u"Failed (timeout). Again? timeout");
  EXPECT_EQ(UnsentOfferText(u"(%reason%)", u""), u"(unknown reason)");
  // A reason that holds the placeholder itself is not expanded again.
  EXPECT_EQ(UnsentOfferText(u"%reason%!", u"%reason%"), u"%reason%!");
  EXPECT_EQ(UnsentOfferText(u"no placeholder", u"x"), u"no placeholder");
}

}  // namespace
}  // namespace ostrel::sending
