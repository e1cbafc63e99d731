#include <gtest/gtest.h>

#include "crash/flow/exception_history.h"

namespace ostrel {
namespace {

// 2024-03-02 09:05:03 UTC in seconds since 1601.
constexpr std::uint64_t kNow = 13354362303;

// Ten entries, the newest at `now`, the oldest `oldestAge` seconds before.
ExceptionHistory TenWithin(std::uint64_t oldestAge, std::uint64_t now = kNow) {
  ExceptionHistory h;
  for (std::uint64_t i = 10; i-- > 0;) h.Record(now - oldestAge * i / 9);
  return h;
}

TEST(ExceptionHistory, RecordsNewestFirstAndKeepsTen) {
  ExceptionHistory h;
  for (std::uint64_t t = 1; t <= 12; ++t) h.Record(100 + t);
  const ExceptionHistory::Entries expected{112, 111, 110, 109, 108, 107, 106, 105, 104, 103};
  EXPECT_EQ(h.Times(), expected);
  // A restarted process carries on from the handed-over entries.
  ExceptionHistory restarted(h.Times());
  restarted.Record(200);
  EXPECT_EQ(restarted.Times()[1], 112u);
}

TEST(ExceptionHistory, DueOnlyForTenWithinTheWindow) {
  EXPECT_FALSE(TenWithin(5).AutoButtonDue(0, kNow));
  EXPECT_TRUE(ExceptionHistory().AutoButtonDue(1, kNow));
  EXPECT_FALSE(TenWithin(5).AutoButtonDue(-1, kNow));
  ExceptionHistory nine;
  for (std::uint64_t i = 0; i < 9; ++i) nine.Record(kNow - 9 + i);
  EXPECT_FALSE(nine.AutoButtonDue(60, kNow));
  nine.Record(kNow);
  EXPECT_TRUE(nine.AutoButtonDue(60, kNow));
  EXPECT_TRUE(TenWithin(60).AutoButtonDue(60, kNow));
  EXPECT_FALSE(TenWithin(61).AutoButtonDue(60, kNow));
  EXPECT_TRUE(TenWithin(600).AutoButtonDue(INT32_MAX, kNow));
}

TEST(ExceptionHistory, ClockSetBackIsNotDue) {
  ExceptionHistory h = TenWithin(30, kNow + 3600);
  EXPECT_FALSE(h.AutoButtonDue(INT32_MAX, kNow));
  // One future entry among recent ones is enough to distrust the span.
  ExceptionHistory mixed = TenWithin(30);
  mixed.Record(kNow + 5);
  EXPECT_FALSE(mixed.AutoButtonDue(60, kNow));
  // Ten exceptions on the new clock count again.
  for (std::uint64_t i = 0; i < 10; ++i) h.Record(kNow + i);
  EXPECT_TRUE(h.AutoButtonDue(60, kNow + 10));
}

}  // namespace
}  // namespace ostrel
