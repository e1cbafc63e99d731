#include <gtest/gtest.h>

#include "crash/report/symbols/demangle.h"

namespace ostrel {
namespace {

struct Case {
  const char16_t* decorated;
  const char16_t* name;
  const char16_t* unit;
};

TEST(DemangleName, DecoratedNamesBecomeClassDotMethodAndUnit) {
  const Case cases[] = {
      {u"TPelmoraForm::ShowWebsites", u"TPelmoraForm.ShowWebsites", u""},
      {u"std::vector<int>::size", u"std.vector<int>.size", u""},
      {u"@Orders@TOrderList@Refresh$qqrv", u"TOrderList.Refresh", u"Orders"},
      {u"@Orders@TOrderList@$bdtr$qqrv", u"TOrderList.Destroy", u"Orders"},
      {u"@Orders@TOrderList@$bctr$qqrv", u"TOrderList.Create", u"Orders"},
      {u"@Orders@Finalization$qqrv", u"Finalization", u"Orders"},
      {u"@Orders@", u"Orders.Create", u""},  // nothing after the unit: the unit is dropped
      {u"@%Set$i%@Bar$qqrv", u"Set.Bar", u""},
      {u".hidden", u"@hidden", u""},
      {u"%Thing", u"Thing", u""},
      {u"plain_c_function", u"plain_c_function", u""},
      {u"trailing. ", u"trailing.?", u""},
      {u"TFoo.", u"TFoo.Create", u""},
      {u"  spaced.  ", u"spaced.?", u""},
  };
  for (const Case& c : cases) {
    const TDemangled d = DemangleName(c.decorated);
    EXPECT_EQ(d.name, c.name) << std::string(d.name.begin(), d.name.end());
    EXPECT_EQ(d.unit, c.unit) << std::string(d.name.begin(), d.name.end());
  }
}

TEST(DemangleName, DestructorIsTheCharacterAfterNextToTheDollar) {
  EXPECT_TRUE(DemangleName(u"@U@T@$bdtr$qqrv").destructor);
  EXPECT_FALSE(DemangleName(u"@U@T@$bctr$qqrv").destructor);
  EXPECT_FALSE(DemangleName(u"@U@T@F$").destructor);  // nothing after the dollar
}

TEST(DemangleName, UnderscoreDollarNamesAreScannedFromTheLaterAt) {
  const TDemangled d = DemangleName(u"@_$ab$cd@Unit@Func$qv");
  EXPECT_EQ(d.unit, u"Unit");
  EXPECT_EQ(d.name, u"Func");
}

}  // namespace
}  // namespace ostrel
