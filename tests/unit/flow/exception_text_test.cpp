#include <gtest/gtest.h>

#include "crash/flow/exception_text.h"

namespace ostrel {
namespace {

TEST(ExceptionText, ControlCharactersGoBlanksTrimmed) {
  EXPECT_EQ(NormaliseExceptionText(u" \r\n\tAccess\tviolation\x01 at\r\n0x1A\x1F \n"),
            u"Accessviolation at\r\n0x1A.");
  // Only codes below 32 are control characters; text beyond ASCII stays.
  EXPECT_EQ(NormaliseExceptionText(u"a \x7F \u00FC \U0001F4A5"), u"a \x7F \u00FC \U0001F4A5.");
  EXPECT_EQ(NormaliseExceptionText(u""), u"Unknown.");
  EXPECT_EQ(NormaliseExceptionText(u"\t\x02 \r\n"), u"Unknown.");
}

TEST(ExceptionText, EndsInExactlyOneFullStop) {
  EXPECT_EQ(NormaliseExceptionText(u"Cannot open file"), u"Cannot open file.");
  EXPECT_EQ(NormaliseExceptionText(u"Stop!!!"), u"Stop.");
  EXPECT_EQ(NormaliseExceptionText(u"Wait.!.!\t"), u"Wait.");
  EXPECT_EQ(NormaliseExceptionText(u"Version 1.2... really"), u"Version 1.2... really.");
  // Punctuation is cut after trimming, so a blank before it stays.
  EXPECT_EQ(NormaliseExceptionText(u"Oops !"), u"Oops .");
}

TEST(ExceptionClassText, FreezeObjectAndNone) {
  EXPECT_EQ(ExceptionClassText(ReportKind::Frozen, u"EAccessViolation"), u"EFrozen");
  EXPECT_EQ(ExceptionClassText(ReportKind::Hidden, u"EConvertError"), u"EConvertError");
  EXPECT_EQ(ExceptionClassText(ReportKind::Exception, std::nullopt), u"Unknown");
  EXPECT_EQ(ExceptionClassText(ReportKind::Exception, u""), u"Unknown");
}

}  // namespace
}  // namespace ostrel
