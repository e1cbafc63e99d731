#include "crash/report/compose/report_fields_list.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

std::u16string Names(const TReportFields& f) {
  std::u16string all;
  for (std::int32_t i = 0; i < f.FieldCount(); ++i) all += (i ? u"," : u"") + f.FieldName(i);
  return all;
}

TEST(ReportFieldsList, NothingIsAcceptedBeforeInputIsEnabled) {
  TReportFields f;
  f.SetField(u"a", u"1");
  EXPECT_EQ(f.FieldCount(), 0);
  f.EnableInput();
  f.SetField(u"a", u"  1 \r\n");
  EXPECT_EQ(f.FieldContents(u"A"), u"1");
}

TEST(ReportFieldsList, EmptyContentsRemoveAndNamesMatchWithoutCase) {
  TReportFields f;
  f.EnableInput();
  int changes = 0;
  f.OnChange([&] { ++changes; });
  f.SetField(u"Version", u"1.1");
  f.SetField(u"version", u"1.1");  // a new spelling replaces the old one
  EXPECT_EQ(f.FieldName(0), u"version");
  const int before = changes;
  f.SetField(u"version", u"1.1");
  EXPECT_EQ(changes, before) << "nothing changed, nothing told";
  f.SetField(u"VERSION", u" \t");
  EXPECT_EQ(f.FieldCount(), 0);
  EXPECT_TRUE(SameFieldName(u"\u00c4rger", u"\u00e4rger"));
  EXPECT_FALSE(SameFieldName(u"\u0100", u"\u0101")) << "only below 256 through lower case";
}

TEST(ReportFieldsList, NewNamesGoToTheInsertionIndexWhichFollowsTheList) {
  TReportFields f;
  f.EnableInput();
  for (const char16_t* n : {u"date/time", u"executable", u"callstack crc", u"exception class"}) {
    f.SetField(n, u"x");
  }
  f.SetInsertIndex(f.IndexOfField(u"callstack crc"));
  f.SetField(u"contact name", u"Ann");
  f.SetField(u"contact email", u"ann@example.org");
  EXPECT_EQ(Names(f),
            u"date/time,executable,contact name,contact email,callstack crc,exception class");
  // Deleting before it moves it down; an existing name is updated in place.
  f.RemoveField(u"date/time");
  f.SetField(u"executable", u"y");
  f.SetField(u"contact phone", u"1");
  EXPECT_EQ(Names(f),
            u"executable,contact name,contact email,contact phone,callstack crc,exception class");
  // Inserting a present name moves it, and the index stays before "callstack crc".
  f.InsertField(0, u"contact email", u"ann@example.org");
  f.SetField(u"contact fax", u"2");
  EXPECT_EQ(Names(f),
            u"contact email,executable,contact name,contact phone,contact fax,"
            u"callstack crc,exception class");
  f.InsertField(99, u"last", u"z");
  EXPECT_EQ(f.FieldName(f.FieldCount() - 1), u"last");
  EXPECT_EQ(f.FieldName(-1), u"");
  const TReportFields copy = f.CopyFields();
  EXPECT_EQ(Names(copy), Names(f));
}

TEST(ReportFieldsList, WithoutAnInsertionIndexNamesAreAppended) {
  TReportFields f;
  f.EnableInput();
  f.SetField(u"a", u"1");
  f.InsertField(0, u"b", u"2");
  f.SetField(u"c", u"3");
  EXPECT_EQ(Names(f), u"b,a,c");
  f.RenameField(0, u"B");
  EXPECT_EQ(f.FieldName(0), u"B");
}

}  // namespace
}  // namespace ostrel
