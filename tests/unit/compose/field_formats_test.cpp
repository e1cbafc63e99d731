#include "crash/report/compose/field_formats.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(FieldFormats, UpTimesUseTheTwoLargestUnitsAndLeaveOutZeros) {
  EXPECT_EQ(FormatUpTime(2 * 86400 + 5 * 3600 + 59), u"2 days 5 hours");
  EXPECT_EQ(FormatUpTime(3600 + 3 * 60 + 7), u"1 hour 3 minutes");
  EXPECT_EQ(FormatUpTime(42), u"42 seconds");
  EXPECT_EQ(FormatUpTime(86400), u"1 day");
  EXPECT_EQ(FormatUpTime(7200), u"2 hours");
  EXPECT_EQ(FormatUpTime(61), u"1 minute 1 second");
  EXPECT_EQ(FormatUpTime(0), u"");
  EXPECT_EQ(FormatUpTime(-5), u"");
}

TEST(FieldFormats, ByteSizesAreTruncatedToTwoDecimals) {
  EXPECT_EQ(FormatByteSize(0, u','), u"0 Bytes");
  EXPECT_EQ(FormatByteSize(1023, u','), u"1023 Bytes");
  EXPECT_EQ(FormatByteSize(1536, u','), u"1,50 KB");
  EXPECT_EQ(FormatByteSize(1024, u'.'), u"1.00 KB");
  EXPECT_EQ(FormatByteSize(1048575, u','), u"1023,99 KB");
  EXPECT_EQ(FormatByteSize(1048576 + 1048576 / 200, u','), u"1,00 MB");
  EXPECT_EQ(FormatByteSize(13250000000ull, u','), u"12,33 GB");
  EXPECT_EQ(FormatByteSize(1030, u','), u"1,00 KB");
}

}  // namespace
}  // namespace ostrel
