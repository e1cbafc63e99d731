#include "crash/ui/upload/tracker_lists.h"

#include <gtest/gtest.h>

namespace ostrel::upload {
namespace {

TEST(TrackerLists, PlainLookupMatchesElseTakesTheFirst) {
  TrackerList os;
  os.Add(u"Windows");
  os.Add(u"Linux");
  EXPECT_EQ(PlainLookup(os, u"LINUX").value, u"Linux");
  EXPECT_EQ(PlainLookup(os, u"LINUX").found, Found::Match);
  EXPECT_EQ(PlainLookup(os, u"BeOS").value, u"Windows");
  EXPECT_EQ(PlainLookup(os, u"BeOS").found, Found::First);
  EXPECT_EQ(PlainLookup(TrackerList{}, u"BeOS").value, u"BeOS");
  EXPECT_EQ(PlainLookup(TrackerList{}, u"BeOS").found, Found::None);
  EXPECT_EQ(ExactLookup(os, u"BeOS").value, u"");
  EXPECT_TRUE(SameName(u"\u00c9t\u00e9", u"\u00e9T\u00c9"));
  EXPECT_FALSE(SameName(u"\u00d7", u"\u00f7"));
}

TEST(TrackerLists, IdsWhereTheListHasThem) {
  TrackerList priorities;
  priorities.hasIds = true;
  priorities.Add(u"low", u"20");
  priorities.Add(u"normal", u"30");
  EXPECT_EQ(PlainLookup(priorities, u"Normal").value, u"30");
  EXPECT_EQ(PlainLookup(priorities, u"urgent").value, u"20");
}

TEST(TrackerLists, ProjectLookupStaysWithinTheProject) {
  TrackerList areas;
  areas.Add(u"Misc", {}, u"Inbox");
  areas.Add(u"Crashes", {}, u"Pelmora");
  areas.Add(u"UI", {}, u"Pelmora");
  EXPECT_EQ(ProjectLookup(areas, u"ui", u"pelmora").value, u"UI");
  EXPECT_EQ(ProjectLookup(areas, u"Misc", u"Pelmora").value, u"Crashes");
  EXPECT_EQ(ProjectLookup(areas, u"Misc", u"Pelmora").found, Found::First);
  EXPECT_EQ(ProjectLookup(areas, u"Misc", u"Other").value, u"Misc");
  EXPECT_EQ(ProjectLookup(areas, u"Misc", u"Other").found, Found::None);
}

}  // namespace
}  // namespace ostrel::upload
