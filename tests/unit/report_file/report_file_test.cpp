#include "crash/report/file/report_file.h"

#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/report/file/text_fields.h"

namespace ostrel {
namespace {

struct Made {
  std::u16string time = u"2026-12-09, 21:00:00";
  std::u16string crc = u"$0A0B0C0D, $11223344, $55667788";
  std::u16string cls = u"EAccessViolation";  // empty: a freeze report
  std::u16string version = u"1.1";           // empty: no version field
  std::u16string built = u"2026-12-01 10:00";
  std::u16string executable = u"C:\\Pelmora\\Pelmora.exe";
  std::size_t padding = 0;  // stack lines, to make it big
};

std::u16string Report(const Made& m) {
  std::u16string r = u"date/time         : " + m.time + u"\r\n";
  r += u"executable        : " + m.executable + u"\r\n";
  r += u"current module    : " + m.executable + u"\r\n";
  r += u"exec. date/time   : " + m.built + u"\r\n";
  if (!m.version.empty()) r += u"version           : " + m.version + u"\r\n";
  if (!m.cls.empty()) r += u"exception class   : " + m.cls + u"\r\n";
  r += u"callstack crc     : " + m.crc + u"\r\n";
  r += u"\r\nmain thread ($1c4):\r\n00401000 +000 Pelmora.exe main 12 +0 Func";
  for (std::size_t i = 0; i < m.padding; ++i) r += u"\r\n00401000 +000 Pelmora.exe unit 12 +0 X";
  return r;
}

std::string Bytes(const std::u16string& report) { return Utf16ToUtf8(report) + "\r\n\r\n"; }

std::size_t Count(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

const ReportFileRules kRules;

TEST(ReportFile, FirstReportIsWrittenAsItIsWithAnEmptyLineAfter) {
  const std::u16string r = Report({});
  const ComposedReportFile f = ComposeReportFile("", r, kRules);
  EXPECT_EQ(f.bytes, Bytes(r));
  EXPECT_EQ(f.count, 0);
  EXPECT_EQ(HeaderField(f.report, u"count"), u"");
}

TEST(ReportFile, RepeatedExceptionReplacesTheOldReportAndCounts) {
  Made a;
  Made other;
  other.crc = u"$99999999, $88888888, $77777777";
  other.time = u"2026-12-09, 20:00:00";
  std::string file = Bytes(Report(other));
  const std::string otherBytes = file;
  for (int round = 1; round <= 3; ++round) {
    a.time = u"2026-12-09, 21:00:0" + std::u16string(1, u'0' + round);
    // The third checksum may differ: exceptions compare the first two.
    a.crc = round == 2 ? u"$0A0B0C0D, $11223344, $00000000" : u"$0A0B0C0D, $11223344, $55667788";
    const ComposedReportFile f = ComposeReportFile(file, Report(a), kRules);
    EXPECT_EQ(f.count, round == 1 ? 0 : round);
    file = f.bytes;
  }
  EXPECT_EQ(Count(file, "date/time         :"), 2u);
  EXPECT_EQ(file.substr(0, otherBytes.size()), otherBytes) << "the other report stays whole";
  EXPECT_NE(file.find("21:00:03"), std::string::npos);
  EXPECT_EQ(file.find("21:00:01"), std::string::npos);
  EXPECT_NE(file.find("callstack crc     : $0A0B0C0D, $11223344, $55667788\r\n"
                      "count             : 3\r\n"),
            std::string::npos);
}

TEST(ReportFile, WhatMakesAReportARepeat) {
  const Made base;
  const std::string file = Bytes(Report(base));
  auto repeats = [&](Made m, const ReportFileRules& rules = kRules) {
    return ComposeReportFile(file, Report(m), rules).count == 2;
  };
  EXPECT_TRUE(repeats(base));
  Made v = base;
  v.version = u"1.2";
  EXPECT_FALSE(repeats(v));
  Made e = base;
  e.executable = u"C:\\Other\\Other.exe";
  EXPECT_FALSE(repeats(e));
  Made c = base;
  c.cls = u"EDivByZero";
  EXPECT_FALSE(repeats(c));
  Made second = base;
  second.crc = u"$0A0B0C0D, $00000000, $55667788";
  EXPECT_FALSE(repeats(second));
  ReportFileRules firstOnly;
  firstOnly.exceptionDuplicateLevel = 0;
  EXPECT_TRUE(repeats(second, firstOnly));
  ReportFileRules off;
  off.exceptionDuplicates = false;
  EXPECT_FALSE(repeats(base, off));
  Made soon = base;
  soon.crc = u">> will be calculated soon";
  EXPECT_FALSE(ComposeReportFile(Bytes(Report(soon)), Report(soon), kRules).count);
}

TEST(ReportFile, TheBuildTimeCountsOnlyWithoutAVersion) {
  Made base;
  Made rebuilt = base;
  rebuilt.built = u"2026-12-05 18:30";
  // The program's own version text may stay the same over several builds.
  EXPECT_EQ(ComposeReportFile(Bytes(Report(base)), Report(rebuilt), kRules).count, 2);
  base.version = rebuilt.version = u"";
  EXPECT_EQ(ComposeReportFile(Bytes(Report(base)), Report(base), kRules).count, 2);
  EXPECT_EQ(ComposeReportFile(Bytes(Report(base)), Report(rebuilt), kRules).count, 0);
}

TEST(ReportFile, FreezesRepeatOnlyWithAllThreeChecksums) {
  Made freeze;
  freeze.cls = u"";
  const std::string file = Bytes(Report(freeze));
  EXPECT_EQ(ComposeReportFile(file, Report(freeze), kRules).count, 2);
  Made third = freeze;
  third.crc = u"$0A0B0C0D, $11223344, $00000000";
  EXPECT_EQ(ComposeReportFile(file, Report(third), kRules).count, 0);
}

TEST(ReportFile, OldReportsAreDroppedFromTheStartPastTheLimit) {
  std::string file;
  Made m;
  m.padding = 60;  // about 2.6 KB a report
  for (int i = 0; file.size() < 133000; ++i) {
    m.crc = u"$" + Utf8ToUtf16(std::to_string(10000000 + i)) + u", $11223344, $55667788";
    file += Bytes(Report(m));
  }
  const std::u16string fresh = Report({});
  const ComposedReportFile f = ComposeReportFile(file, fresh, kRules);
  const std::size_t old = f.bytes.size() - Bytes(fresh).size();
  EXPECT_LT(old, 75000u);
  EXPECT_GT(old, 75000u - 3000u) << "dropped at the first boundary that is enough";
  EXPECT_EQ(f.bytes.rfind("date/time", 0), 0u) << "starts at a report";
  EXPECT_EQ(file.substr(file.size() - old), f.bytes.substr(0, old)) << "kept reports unchanged";

  // One old report bigger than the limit has no later boundary: it stays.
  Made big;
  big.padding = 3000;
  const std::string huge = Bytes(Report(big));
  ASSERT_GT(huge.size(), 100000u);
  big.crc = u"$77777777, $11223344, $55667788";
  EXPECT_EQ(ComposeReportFile(huge, Report(big), kRules).bytes.substr(0, huge.size()), huge);
}

TEST(ReportFile, WithoutAppendingOnlyTheNewReportIsKept) {
  ReportFileRules single;
  single.append = false;
  const std::u16string r = Report({});
  EXPECT_EQ(ComposeReportFile(Bytes(Report({})), r, single).bytes, Bytes(r));
}

TEST(ReportFile, AFileThatIsNotUtf8IsKeptAndAppendedTo) {
  std::string file = Bytes(Report({}));
  file[5] = '\xFF';
  const ComposedReportFile f = ComposeReportFile(file, Report({}), kRules);
  EXPECT_FALSE(f.oldFileReadable);
  EXPECT_EQ(f.count, 0);
  EXPECT_EQ(f.bytes.substr(0, file.size()), file);
  // Text without any report start is kept as well.
  const std::string text = "notes someone typed\r\n";
  EXPECT_EQ(ComposeReportFile(text, Report({}), kRules).bytes.substr(0, text.size()), text);
}

}  // namespace
}  // namespace ostrel
