#include "crash/report/file/print_layout.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

// An A4 page at 600 dpi: 4760 x 6814 printable pixels, offsets 100 and 120.
const PrintDevice kA4{4760, 6814, 100, 120, 600, 600};

TEST(PrintLayout, MarginsComeFromMillimetresLessThePhysicalOffsets) {
  const PageLayout l = LayoutPage(kA4);
  EXPECT_EQ(l.top, 236 - 120);  // 10 mm = 236.2 pixels
  EXPECT_EQ(l.usableHeight, 6814 - 2 * 116);
  EXPECT_EQ(l.left, 472 - 100);  // 20 mm = 472.4
  EXPECT_EQ(l.textWidth, 4760 + 100 - 372 - 236);
  EXPECT_EQ(l.fontHeight, -66);  // 8 points at 600 dpi
}

TEST(PrintLayout, LinesSplitAtCrLfAndEmptyOnesKeepTheirPlace) {
  EXPECT_EQ(PrintLines(u"a\r\n\r\nb"), (std::vector<std::u16string>{u"a", u" ", u"b"}));
  EXPECT_EQ(PrintLines(u""), (std::vector<std::u16string>{u" "}));
  EXPECT_EQ(PrintLines(u"x\r\n"), (std::vector<std::u16string>{u"x", u" "}));
}

TEST(PrintLayout, ThreeHundredLinesSpreadOverThePagesTheirHeightsNeed) {
  PageLayout l;
  l.top = 100;
  l.usableHeight = 1000;
  std::vector<int> heights(300, 30);
  heights[10] = 90;  // a wrapped line, three rows high
  const std::vector<PlacedLine> placed = PlaceLines(heights, l);
  ASSERT_EQ(placed.size(), 300u);
  EXPECT_EQ(placed[0].y, 100);
  // 30 lines fit from 100 to 1000; the tall one takes the room of three.
  EXPECT_EQ(placed[27].page, 0);
  EXPECT_EQ(placed[28].page, 1);
  EXPECT_EQ(placed[28].y, 100);
  EXPECT_EQ(placed.back().page, (300 + 2 - 28) / 30 + 1);
  for (std::size_t i = 1; i < placed.size(); ++i) {
    if (placed[i].page == placed[i - 1].page) {
      EXPECT_EQ(placed[i].y, placed[i - 1].y + heights[i - 1]);
      EXPECT_LE(placed[i].y + heights[i], l.usableHeight);
    }
  }
  // A line taller than the page is placed anyway, alone.
  const std::vector<PlacedLine> tall = PlaceLines({30, 5000, 30}, l);
  EXPECT_EQ(tall[1].page, 1);
  EXPECT_EQ(tall[2].page, 2);
}

}  // namespace
}  // namespace ostrel
