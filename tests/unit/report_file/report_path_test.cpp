#include "crash/report/file/report_path.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(ReportPath, NamesAreMadeAbsoluteAndCleaned) {
  const std::u16string exe = u"C:\\Program Files\\Pelmora\\";
  struct Case {
    std::u16string_view in, out;
  } cases[] = {
      {u"bugreport.txt", u"C:\\Program Files\\Pelmora\\bugreport.txt"},
      {u"ab", u"C:\\Program Files\\Pelmora\\ab"},
      {u"logs\\bugreport.txt", u"C:\\Program Files\\Pelmora\\logs\\bugreport.txt"},
      {u"\\reports\\b.txt", u"C:\\reports\\b.txt"},
      {u"D:\\x\\.\\y\\..\\b.txt", u"D:\\x\\b.txt"},
      {u"..\\b.txt", u"C:\\Program Files\\b.txt"},
      {u"\\\\server\\share\\b.txt", u"\\\\server\\share\\b.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(AbsoluteReportPath(c.in, exe), c.out);
}

}  // namespace
}  // namespace ostrel
