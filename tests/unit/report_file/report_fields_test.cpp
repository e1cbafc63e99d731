#include "crash/report/file/text_fields.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

const std::u16string kReport =
    u"date/time         : 2026-12-09, 21:00:00\r\n"
    u"executable        : Pelmora.exe\r\n"
    u"callstack crc     : $0A0B0C0D, $11223344, $55667788\r\n"
    u"exception message :  spaced \t\r\n"
    u"\r\n"
    u"main thread ($1c4):\r\n"
    u"00401000 +000 Pelmora.exe unit 12 +0 Func\r\n"
    u"\r\n"
    u"cpu registers:\r\n"
    u"eax = 00000000";

TEST(ReportFields, HeaderFieldsAreTrimmedAndTheFirstLineIsNotAField) {
  EXPECT_EQ(HeaderField(kReport, u"executable"), u"Pelmora.exe");
  EXPECT_EQ(HeaderField(kReport, u"exception message"), u"spaced");
  EXPECT_EQ(HeaderField(kReport, u"callstack crc"), u"$0A0B0C0D, $11223344, $55667788");
  EXPECT_EQ(HeaderField(kReport, u"date/time"), u"");  // first line
  EXPECT_EQ(HeaderField(kReport, u"version"), u"");
  EXPECT_EQ(HeaderField(kReport, u"Executable"), u"");  // names are case-sensitive
  EXPECT_EQ(HeaderField(kReport, u""), u"");
  EXPECT_EQ(HeaderField(u"x\r\nlabel without colon", u"label"), u"");
}

TEST(ReportFields, SectionsRunToTheNextEmptyLineOrTheEnd) {
  EXPECT_EQ(ReportSection(kReport, u"main thread ($1c4)"),
            u"\r\n00401000 +000 Pelmora.exe unit 12 +0 Func");
  EXPECT_EQ(ReportSection(kReport, u"cpu registers"), u"\r\neax = 00000000");
  EXPECT_EQ(ReportSection(kReport, u"stack dump"), u"");
}

TEST(ReportFields, InsertedFieldLinesUpWithTheLineBefore) {
  std::u16string r = kReport;
  InsertHeaderField(r, u"count", u"callstack crc", u"2");
  EXPECT_NE(r.find(u"callstack crc     : $0A0B0C0D, $11223344, $55667788\r\n"
                   u"count             : 2\r\n"
                   u"exception message"),
            std::u16string::npos);
  EXPECT_EQ(HeaderField(r, u"count"), u"2");
  // A missing line, or a last line without CR LF after it, changes nothing.
  std::u16string same = kReport;
  InsertHeaderField(same, u"count", u"no such field", u"2");
  EXPECT_EQ(same, kReport);
  std::u16string tail = u"a\r\nlast : x";
  InsertHeaderField(tail, u"count", u"last", u"2");
  EXPECT_EQ(tail, u"a\r\nlast : x");
  // A name longer than the column is not cut.
  std::u16string narrow = u"a\r\nab: 1\r\n";
  InsertHeaderField(narrow, u"longer", u"ab", u"2");
  EXPECT_EQ(narrow, u"a\r\nab: 1\r\nlonger: 2\r\n");
}

TEST(ReportFields, SameHeaderFieldTreatsTwoAbsentFieldsAsEqual) {
  EXPECT_TRUE(SameHeaderField(kReport, kReport, u"executable"));
  EXPECT_TRUE(SameHeaderField(kReport, u"x", u"version"));
  EXPECT_FALSE(SameHeaderField(kReport, u"x", u"executable"));
}

}  // namespace
}  // namespace ostrel
