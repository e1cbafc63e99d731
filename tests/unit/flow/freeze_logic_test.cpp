#include <gtest/gtest.h>

#include "crash/flow/freeze_logic.h"

namespace ostrel {
namespace {

// Unanswered probes until the watcher reports; 0 when it does not within 100.
int MissesUntilReport(FreezeWatchLogic& w) {
  for (int i = 1; i <= 100; ++i)
    if (w.OnProbe(false)) return i;
  return 0;
}

TEST(FreezeWatch, ReportsAtTheTenthMissThenWaitsLonger) {
  FreezeWatchLogic w(60000);
  EXPECT_EQ(w.Interval(), 6000u);
  EXPECT_EQ(MissesUntilReport(w), 10);
  EXPECT_EQ(w.Interval(), 9000u);
  EXPECT_EQ(MissesUntilReport(w), 10);
  EXPECT_EQ(w.Interval(), 13500u);
  // Busy for nine probes, then responsive: no report, interval restored.
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(w.OnProbe(false));
  EXPECT_FALSE(w.OnProbe(true));
  EXPECT_EQ(w.Interval(), 6000u);
  for (int i = 0; i < 9; ++i) w.OnProbe(false);
  w.ResetMisses();
  EXPECT_EQ(MissesUntilReport(w), 10);
  for (int i = 0; i < 9; ++i) w.OnProbe(false);
  w.Pause();
  w.Resume();
  EXPECT_EQ(MissesUntilReport(w), 10);
}

TEST(FreezeWatch, IntervalNeverZeroNorEndless) {
  for (std::int32_t timeout : {9, 0, -5}) EXPECT_EQ(FreezeWatchLogic(timeout).Interval(), 1u);
  FreezeWatchLogic w(INT32_MAX);
  for (int report = 0; report < 40; ++report) ASSERT_EQ(MissesUntilReport(w), 10);
  EXPECT_EQ(w.Interval(), FreezeWatchLogic::kMaxInterval);
}

TEST(FreezeWatch, NestedPausesAndStrayResumes) {
  FreezeWatchLogic w(60000);
  EXPECT_FALSE(w.Resume());  // without a pause: nothing
  EXPECT_TRUE(w.Pause());    // create the event
  EXPECT_FALSE(w.Pause());
  EXPECT_FALSE(w.Resume());
  EXPECT_TRUE(w.Paused());
  EXPECT_TRUE(w.Resume());  // signal it
  EXPECT_FALSE(w.Paused());
  w.Pause();
  w.Pause();
  EXPECT_TRUE(w.EndPauses());
  EXPECT_FALSE(w.Resume());
  EXPECT_TRUE(w.Pause());
}

}  // namespace
}  // namespace ostrel
