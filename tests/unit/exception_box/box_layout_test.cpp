#include "crash/ui/exception_box/box_layout.h"

#include <gtest/gtest.h>

namespace ostrel::box {
namespace {

// Caption widths of this build's texts in an 8-pixel dialog font.
BoxLayoutInput FullInput() {
  BoxLayoutInput in;
  in.captionWidths = {90, 60, 40, 95, 115, 105, 95};
  in.visible = {true, false, false, true, true, true, true};
  in.measureMessage = [](int width) {
    EXPECT_GT(width, 0);
    return BoxSize{std::min(width, 300), 26};
  };
  return in;
}

void ExpectInsideAndApart(const BoxLayout& l) {
  for (int i = 0; i < 7; ++i) {
    const BoxRect& a = l.buttons[i];
    if (a.width == 0) continue;
    EXPECT_GE(a.x, 0) << i;
    EXPECT_GE(a.y, 0) << i;
    EXPECT_LE(a.x + a.width, l.width) << i;
    EXPECT_LE(a.y + a.height, l.height) << i;
    EXPECT_EQ(a.height, l.buttonHeight) << i;
    for (int j = i + 1; j < 7; ++j) {
      const BoxRect& b = l.buttons[j];
      if (b.width == 0) continue;
      const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                         b.y + b.height <= a.y;
      EXPECT_TRUE(apart) << i << " overlaps " << j;
    }
  }
}

TEST(LayoutBox, FullBoxStacksContinueRestartCloseInAColumn) {
  const BoxLayout l = LayoutBox(FullInput());
  ExpectInsideAndApart(l);
  EXPECT_EQ(l.buttonHeight, 22);
  // L = 154 (continue); W = 129 + 134 + 154 + 8 = 425, M = 188; text 300 wide.
  EXPECT_EQ(l.width, 488);
  // Three stacked: T = 31 - 26 = 5, raised to 7.
  const int T = 7;
  EXPECT_EQ(l.buttons[kContinue], (BoxRect{488 - 154 - 2, T, 150, 22}));
  EXPECT_EQ(l.buttons[kRestart], (BoxRect{332, T + 26, 150, 22}));
  EXPECT_EQ(l.buttons[kClose], (BoxRect{332, T + 52, 150, 22}));
  EXPECT_EQ(l.buttons[kSend], (BoxRect{6, T + 52, 125, 22}));
  EXPECT_EQ(l.buttons[kShow], (BoxRect{6 + 129, T + 52, 130, 22}));
  EXPECT_EQ(l.buttons[kSave].width, 0);
  EXPECT_EQ(l.buttons[kPrint].width, 0);
  // The message stays left of the column.
  EXPECT_EQ(l.message, (BoxRect{11, 12, 300, 26}));
  EXPECT_LT(l.message.x + l.message.width, l.buttons[kContinue].x);
  const int content = T + 3 * 26 + 2;
  EXPECT_TRUE(l.strip);
  EXPECT_EQ(l.stripTop, content - 2);
  EXPECT_EQ(l.height, content + 11);
  EXPECT_EQ(l.tabs.width, 0);
  EXPECT_EQ(l.icon.width, 0);
}

TEST(LayoutBox, UglyButtonsIconAndTwoOnTheRight) {
  BoxLayoutInput in = FullInput();
  in.uglyButtons = true;
  in.bigIcon = true;
  in.visible[kRestart] = false;
  in.measureMessage = [](int) { return BoxSize{200, 13}; };
  const BoxLayout l = LayoutBox(in);
  ExpectInsideAndApart(l);
  EXPECT_EQ(l.buttonHeight, 26);
  EXPECT_EQ(l.icon, (BoxRect{10, 9, 32, 32}));
  // A one-line message is centred against the icon and the buttons start at 31.
  EXPECT_EQ(l.message, (BoxRect{51, 12 + 6, 200, 13}));
  EXPECT_EQ(l.buttons[kContinue].y, 31);
  EXPECT_EQ(l.buttons[kClose].y, 31 + 30);
  EXPECT_EQ(l.buttons[kSend].y, 31 + 30);
  EXPECT_EQ(l.height, 31 + 2 * 30 + 2 + 11);
}

TEST(LayoutBox, OnlyContinueOnTheRightIsOneRowOfTwoRowsHeight) {
  BoxLayoutInput in = FullInput();
  in.visible = {true, false, false, true, true, false, false};
  const BoxLayout l = LayoutBox(in);
  ExpectInsideAndApart(l);
  // W = 129 + 134 + 154 + 8 = 425; text 300 + 20.
  EXPECT_EQ(l.width, 425);
  const int T = 31;
  for (int i : {kSend, kShow, kContinue}) EXPECT_EQ(l.buttons[i].y, T + 26) << i;
  EXPECT_EQ(l.buttons[kContinue].x, 425 - 154 - 2);
  EXPECT_EQ(l.height, T + 2 * 26 + 2 + 11);
}

TEST(LayoutBox, OneRowWithoutLeftButtonsHasNoEmptyThirdRow) {
  BoxLayoutInput in = FullInput();
  in.visible = {false, false, false, false, true, true, true};
  const BoxLayout l = LayoutBox(in);
  ExpectInsideAndApart(l);
  // Right-aligned group: 154 + 144 + 134 = 432 wide.
  EXPECT_EQ(l.width, 440);
  EXPECT_EQ(l.buttons[kContinue].x, 440 - 432 - 2);
  EXPECT_EQ(l.buttons[kRestart].x, 6 + 154);
  EXPECT_EQ(l.buttons[kClose].x + l.buttons[kClose].width, 440 - 6);
  EXPECT_EQ(l.height, 31 + 2 * 26 + 2 + 11);
}

TEST(LayoutBox, LongMessageWidensTheBoxUpToTheWrapWidth) {
  BoxLayoutInput in = FullInput();
  int asked = 0;
  in.measureMessage = [&](int width) {
    asked = width;
    return BoxSize{width, 65};
  };
  const BoxLayout l = LayoutBox(in);
  EXPECT_EQ(asked, 664 - 188);
  EXPECT_EQ(l.width, 664);
  EXPECT_EQ(l.buttons[kContinue].y, 70 - 26);
  ExpectInsideAndApart(l);
}

TEST(LayoutBox, DetailsViewGrowsAndKeepsTheTabsInside) {
  BoxLayoutInput in = FullInput();
  in.details = true;
  in.visible[kShow] = false;
  const BoxLayout small = LayoutBox(in);
  ExpectInsideAndApart(small);
  EXPECT_EQ(small.width, 664);
  const int content = 7 + 3 * 26 + 2;
  EXPECT_EQ(small.stripTop, content - 2);
  EXPECT_EQ(small.tabs, (BoxRect{5, content + 9 + 2, 664 - 9, 491 - 6}));
  EXPECT_EQ(small.height, content + 9 + 491);
  EXPECT_EQ(small.tabs.y + small.tabs.height, small.height - 4);

  // A low screen limits the height; a narrow one the widening, never the buttons.
  in.screenHeight = 480;
  in.screenWidth = 500;
  const BoxLayout low = LayoutBox(in);
  EXPECT_EQ(low.height, 480 - 5 * 18);
  EXPECT_EQ(low.tabs.y + low.tabs.height, low.height - 4);
  EXPECT_EQ(low.width, 488);  // the message needs it; only the widening is capped
  ExpectInsideAndApart(low);
  in.screenWidth = 300;
  const BoxLayout narrow = LayoutBox(in);
  EXPECT_GE(narrow.width, narrow.buttons[kContinue].x + narrow.buttons[kContinue].width + 6);
}

TEST(LayoutBox, PlainBoxes) {
  BoxLayoutInput in;
  in.mode = BoxMode::Plain;
  in.captionWidths[kContinue] = 14;  // "OK": 53 wide, raised to 79
  in.captionWidths[kShow] = 40;      // "Details": 79, kept
  in.measureMessage = [](int) { return BoxSize{180, 13}; };
  BoxLayout l = LayoutBox(in);
  ExpectInsideAndApart(l);
  EXPECT_EQ(l.buttonHeight, 23);
  EXPECT_EQ(l.width, 200);
  EXPECT_EQ(l.buttons[kContinue], (BoxRect{(200 - 79) / 2, 18 + 27, 79, 23}));
  EXPECT_EQ(l.buttons[kShow].width, 0);
  EXPECT_FALSE(l.strip);
  EXPECT_EQ(l.height, 18 + 2 * 23 + 15);

  in.mode = BoxMode::PlainWithDetails;
  in.captionWidths[kShow] = 35;  // 74 is below 75: 79
  l = LayoutBox(in);
  ExpectInsideAndApart(l);
  EXPECT_EQ(l.width, 200);
  const int x = (200 - 160) / 2;
  EXPECT_EQ(l.buttons[kContinue].x, x);
  EXPECT_EQ(l.buttons[kShow], (BoxRect{x + 81, 45, 79, 23}));
  EXPECT_TRUE(l.strip);
  EXPECT_EQ(l.stripTop, 18 + 2 * 23 + 15 - 2);
  EXPECT_EQ(l.height, 18 + 2 * 23 + 15 + 11);

  // A tiny message: the buttons set the width.
  in.measureMessage = [](int) { return BoxSize{20, 13}; };
  l = LayoutBox(in);
  EXPECT_EQ(l.width, 79 + 79 + 2 + 26);
  ExpectInsideAndApart(l);
}

TEST(CountDown, MarkMovesAcrossAndPassesTheEdgeOnce) {
  // 5 s over 100 pixels: one pixel per 50 ms, rounded.
  EXPECT_EQ(CountDownMark(0, 100, 5, false), 0);
  EXPECT_EQ(CountDownMark(24, 100, 5, false), 0);
  EXPECT_EQ(CountDownMark(25, 100, 5, false), 1);
  EXPECT_EQ(CountDownMark(2500, 100, 5, false), 50);
  EXPECT_EQ(CountDownMark(5000, 100, 5, false), 100);
  EXPECT_FALSE(CountDownPastEdge(100, 100, false));
  EXPECT_TRUE(CountDownPastEdge(CountDownMark(5025, 100, 5, false), 100, false));
  // Ugly buttons: from 5 to width - 6 over width - 11 pixels.
  EXPECT_EQ(CountDownMark(0, 100, 5, true), 5);
  EXPECT_EQ(CountDownMark(5000, 100, 5, true), 94);
  EXPECT_FALSE(CountDownPastEdge(94, 100, true));
  EXPECT_TRUE(CountDownPastEdge(95, 100, true));
  // Hours later, or with a clock that jumped, the value stays sane.
  EXPECT_TRUE(CountDownPastEdge(CountDownMark(std::int64_t(1) << 50, 100, 5, false), 100, false));
  EXPECT_EQ(CountDownMark(-500, 100, 5, false), 0);
}

TEST(CountDown, ZeroDelayNeverFires) {
  for (std::int64_t ms : {0, 10, 1000, 100000, 1000000000}) {
    for (bool ugly : {false, true}) {
      const int mark = CountDownMark(ms, 120, 0, ugly);
      EXPECT_FALSE(CountDownPastEdge(mark, 120, ugly)) << ms;
      EXPECT_FALSE(CountDownPastEdge(mark, 0, ugly)) << ms;
    }
  }
}

}  // namespace
}  // namespace ostrel::box
