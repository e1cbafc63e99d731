#include "crash/ui/progress/progress_model.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(ProgressModel, TheBarWeighsTheAreas) {
  ProgressModel m;
  m.AppendArea(u"one", 100);
  m.AppendArea(u"two", 100);
  m.AppendArea(u"three", 200);
  ASSERT_TRUE(m.SetActiveArea(2));
  m.SetPosition(500);
  EXPECT_EQ(m.BarValue(), 750);
  EXPECT_EQ(m.CurrentText(), u"three");
  ASSERT_TRUE(m.SetActiveArea(1));
  EXPECT_EQ(m.Position(), 0);
  EXPECT_EQ(m.BarValue(), 250);
  // All done: the last area at 1000, its text kept.
  ASSERT_TRUE(m.SetActiveArea(3));
  EXPECT_EQ(m.ActiveArea(), 2);
  EXPECT_EQ(m.BarValue(), 1000);
  EXPECT_EQ(m.CurrentText(), u"three");
  EXPECT_FALSE(m.SetActiveArea(4));
  EXPECT_FALSE(m.SetActiveArea(-1));
  EXPECT_FALSE(m.SetActiveArea(2));
}

TEST(ProgressModel, HugeWeightsDoNotOverflowAndEmptyTextsRepeat) {
  ProgressModel m;
  m.AppendArea(u"attachments", 500);
  m.AppendArea(u"", 4000000000000ull);  // a file of 64 TB over 16
  EXPECT_EQ(m.Areas()[1].text, u"attachments");
  ASSERT_TRUE(m.SetActiveArea(1));
  m.SetPosition(1000);
  EXPECT_EQ(m.BarValue(), 1000);
  m.SetPosition(500);
  EXPECT_EQ(m.BarValue(), 500);
  ProgressModel none;
  none.SetPosition(300);
  EXPECT_EQ(none.BarValue(), 300) << "without weights the position is the bar";
  none.EnsureAnArea();
  EXPECT_EQ(none.CurrentText(), u"Please wait...");
  none.ResetAreas();
  EXPECT_TRUE(none.Areas().empty());
}

TEST(ProgressModel, LayoutNeverLetsTheWindowGrowAndCentresAShortLabelOnThePicture) {
  int w = 0, h = 0;
  LargestFromCurrent({{300, 13}, {180, 26}, {250, 13}}, 1, w, h);
  EXPECT_EQ(w, 250);
  EXPECT_EQ(h, 26);
  ProgressMetrics m;
  m.labelWidth = 150;
  m.labelHeight = 13;
  m.scrollBarHeight = 17;
  m.smallCaptionHeight = 17;
  m.frameWidth = 3;
  m.frameHeight = 3;
  ProgressLayout plain = LayoutProgressWindow(m);
  EXPECT_EQ(plain.label.x, 11);
  EXPECT_EQ(plain.label.width, 220) << "at least 220 wide";
  EXPECT_EQ(plain.bar.y, 13 + 24);
  EXPECT_EQ(plain.window.width, 220 + 22 + 6);
  EXPECT_EQ(plain.window.height, 13 + 17 + 17 + 6 + 36);
  m.picture = true;
  ProgressLayout pictured = LayoutProgressWindow(m);
  EXPECT_EQ(pictured.label.x, 51);
  EXPECT_EQ(pictured.label.y, 12 + (26 - 13) / 2);
  EXPECT_EQ(pictured.bar.y, 26 + 24);
  EXPECT_EQ(pictured.bar.width, 220);
}

}  // namespace
}  // namespace ostrel
