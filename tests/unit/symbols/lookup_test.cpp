#include <gtest/gtest.h>

#include "crash/report/symbols/lookup.h"

namespace ostrel {
namespace {

TMapFile Module() {
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x405000;
  return m;
}

TEST(SymbolTidy, ZeroLengthAndSameStartSegmentsGiveWayToTheirSuccessor) {
  TMapFile m = Module();
  m.AddSegment(true, true, false, false, u"Empty.cpp", 0, 0x10);
  m.AddSegment(true, true, false, false, u"Long", 0x100, 0x20);
  m.AddSegment(true, true, false, false, u"Short", 0x10, 0x20);
  m.AddSegment(true, true, false, false, u"Next", 0x10, 0x80);
  m.SortSegments();
  m.TidySegments(true);
  ASSERT_EQ(m.segments.size(), 2u);
  EXPECT_EQ(m.segments[0].unit, u"Short");
  EXPECT_EQ(m.segments[0].length, 0x10u);  // no overlap: left alone in the first pass
  EXPECT_EQ(m.segments[1].unit, u"Next");
}

TEST(SymbolTidy, OverlapsAreCutAndLaterPassesCloseGaps) {
  TMapFile m = Module();
  m.AddSegment(true, true, false, false, u"A", 0x30, 0x00);  // overlaps B
  m.AddSegment(true, true, false, false, u"B", 0x10, 0x20);  // gap before C
  m.AddSegment(true, true, false, false, u"C", 0x10, 0x40);
  m.TidySegments(true);
  ASSERT_EQ(m.segments.size(), 3u);
  EXPECT_EQ(m.segments[0].length, 0x20u);
  EXPECT_EQ(m.segments[1].length, 0x10u);
  m.TidySegments(false);
  EXPECT_EQ(m.segments[1].length, 0x20u);
}

TEST(SymbolTidy, NeighboursOfOneUnitAreMergedAndDataSortsAfterCode) {
  TMapFile m = Module();
  m.codeOnly = false;
  m.dataBase = 0x408000;
  m.AddSegment(false, true, false, false, u"Data", 0x10, 0);
  m.AddSegment(true, true, false, false, u"Form.cpp", 0x10, 0x10);
  m.AddSegment(true, true, false, false, u"form", 0x10, 0x20);
  m.TidySegments(true);
  ASSERT_EQ(m.segments.size(), 2u);
  EXPECT_TRUE(m.segments[0].code);
  EXPECT_EQ(m.segments[0].length, 0x20u);
  EXPECT_FALSE(m.segments[1].code);
}

TEST(SymbolAdding, CodeOnlyObjectsSkipDataAndMergeExtendsTheLastSegment) {
  TMapFile m = Module();
  m.AddSegment(false, true, false, false, u"Data", 0x10, 0);
  m.AddPublic(false, u"Counter", false, 0);
  EXPECT_TRUE(m.segments.empty());
  EXPECT_TRUE(m.publics.empty());
  m.AddSegment(true, true, false, true, u"Unit", 0x10, 0);
  m.AddSegment(true, true, false, true, u"Unit", 0x10, 0x12);  // within end + 2
  m.AddSegment(true, true, false, true, u"Unit", 0x10, 0x30);  // too far
  ASSERT_EQ(m.segments.size(), 2u);
  EXPECT_EQ(m.segments[0].length, 0x22u);
}

TEST(SymbolAdding, PublicNamesLoseTheirUnitAndAUnitNamedPublicIsInitialization) {
  TMapFile m = Module();
  m.AddSegment(true, true, false, false, u"Orders", 0x100, 0);
  m.AddPublic(true, u"Orders.TOrderList.Refresh", false, 0x10);
  m.AddPublic(true, u"Orders", false, 0x20);
  m.AddPublic(true, u"@Other@Helper$qqrv", false, 0x30);
  m.AddPublic(true, u"@Orders@Run$qqrv", false, 0x40);
  m.AddPublic(true, u"@$xp$4Name", false, 0x50);  // compiler-generated
  ASSERT_EQ(m.publics.size(), 4u);
  EXPECT_EQ(m.publics[0].name, u"TOrderList.Refresh");
  EXPECT_EQ(m.publics[1].name, u"initialization");
  EXPECT_EQ(m.publics[2].name, u"Other.Helper");
  EXPECT_EQ(m.publics[3].name, u"Run");
  EXPECT_EQ(m.publics[0].address, 0x401010u);
}

TEST(SymbolAdding, ExtendingSegmentsStretchesOrStartsOne) {
  TMapFile m = Module();
  m.AddSegment(true, true, false, false, u"Main", 0x10, 0);
  m.AddPublic(true, u"Far", true, 0x40);
  EXPECT_EQ(m.segments[0].length, 0x41u);
  m.AddPublic(true, u"@Other@Thing$qv", true, 0x80);
  ASSERT_EQ(m.segments.size(), 2u);
  EXPECT_EQ(m.segments[1].unit, u"Other");
  EXPECT_EQ(m.segments[1].length, 1u);
}

TEST(SymbolAdding, AscendingOnlyLinesIgnoreStepsBack) {
  TMapFile m = Module();
  m.AppendLineRecord(1, 0x401010, true);
  m.AppendLineRecord(2, 0x401010, true);
  m.AppendLineRecord(3, 0x401008, false);
  ASSERT_EQ(m.lines.size(), 2u);
  EXPECT_EQ(m.lines[1].line, 3);
}

class SymbolLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    m.AddSegment(true, true, false, false, u"Alpha", 0x100, 0x000);
    m.AddSegment(true, true, false, false, u"Beta", 0x100, 0x200);
    m.AddPublic(true, u"A1", false, 0x000);
    m.AddPublic(true, u"A2", false, 0x080);
    m.AddPublic(true, u"B1", false, 0x200);
    m.AppendLineRecord(10, 0x401000, false);
    m.AppendLineRecord(11, 0x401010, false);
    m.AppendLineRecord(50, 0x401200, false);
    m.SortPublics();
  }
  TMapFile m = Module();
};

TEST_F(SymbolLookup, PublicAtCoversTheLastPublicUpToTheCodeTop) {
  EXPECT_FALSE(PublicAt(m, 0x400FFF).valid);
  EXPECT_EQ(PublicAt(m, 0x401000).name, u"A1");
  EXPECT_EQ(PublicAt(m, 0x40107F).name, u"A1");
  EXPECT_EQ(PublicAt(m, 0x401080).name, u"A2");
  EXPECT_EQ(PublicAt(m, 0x404FFF).name, u"B1");  // beyond the last, below the top
  EXPECT_FALSE(PublicAt(m, 0x405000).valid);
  m.codeTop = 0;
  EXPECT_EQ(PublicAt(m, 0x700000).name, u"B1");  // top unknown
}

TEST_F(SymbolLookup, SegmentAtFindsTheUnitAndNothingInGaps) {
  EXPECT_EQ(SegmentAt(m, true, 0x4010FF).unit, u"Alpha");
  EXPECT_FALSE(SegmentAt(m, true, 0x401100).valid);
  EXPECT_EQ(SegmentAt(m, true, 0x401200).unit, u"Beta");
  EXPECT_FALSE(SegmentAt(m, false, 0x401200).valid);
}

TEST_F(SymbolLookup, LineAtGivesTheRangeAndNeedsTheEntryInsideTheSegment) {
  const TLineAnswer a = LineAt(m, 0x401012);
  EXPECT_EQ(a.line, 11);
  EXPECT_EQ(a.rangeEnd, 0x401200u);
  EXPECT_EQ(LineAt(m, 0x401150).line, 0);  // no segment there
  EXPECT_EQ(LineAt(m, 0x400000).line, 0);
  const TLineAnswer last = LineAt(m, 0x401250);
  EXPECT_EQ(last.line, 50);
  EXPECT_EQ(last.rangeEnd, m.codeTop);
  // Beta starts at 0x401200; an address in Beta before its first line gets none.
  m.lines.erase(m.lines.begin() + 2);
  EXPECT_EQ(LineAt(m, 0x401250).line, 0);
}

TEST_F(SymbolLookup, PublicByNameSearchesTheUnitAndRetriesWithExtensions) {
  EXPECT_EQ(PublicByName(m, true, u"alpha", false, u"a2"), 0x401080u);
  EXPECT_EQ(PublicByName(m, true, u"Alpha", true, u"a2"), 0u);
  EXPECT_EQ(PublicByName(m, true, u"Beta", true, u"A1"), 0u);
  m.AddSegment(true, true, true, false, u"gamma.c", 0x10, 0x300);
  m.AddPublic(true, u"G", false, 0x300);
  m.SortPublics();
  EXPECT_EQ(PublicByName(m, true, u"gamma", true, u"G"), 0x401300u);
  EXPECT_EQ(PublicByName(m, true, u"gamma.x", true, u"G"), 0u);  // has a dot: no retry
  // Without a unit: any unit's, without regard to case; code only.
  EXPECT_EQ(PublicByNameInAnyUnit(m, true, u"g"), 0x401300u);
  EXPECT_EQ(PublicByNameInAnyUnit(m, true, u"A2"), 0x401080u);
  EXPECT_EQ(PublicByNameInAnyUnit(m, false, u"G"), 0u);
  EXPECT_EQ(PublicByNameInAnyUnit(m, true, u"missing"), 0u);
}

}  // namespace
}  // namespace ostrel
