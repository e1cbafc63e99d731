#include <gtest/gtest.h>

#include "crash/report/disasm/memory_image.h"
#include "crash/report/disasm/memory_reader.h"

namespace ostrel {
namespace {

TDATryRead ThreeRuns() {
  TDATryRead s;
  AppendRun(s, 0, 0x10000, kNotReadable);
  AppendRun(s, 0x10000, 0x20000, kReadable);
  AppendRun(s, 0x20000, 0x30000, kReadable);  // merged with the previous run
  AppendRun(s, 0x30000, 0x31000, kExecuteOnly);
  AppendRun(s, 0x31000, 0, kNotReadable);
  return s;
}

TEST(DisasmMemory, SnapshotMergesRunsAndClassifiesByBisection) {
  TDATryRead s = ThreeRuns();
  ASSERT_EQ(s.runs.size(), 4u);
  EXPECT_EQ(s.runs[1].end, 0x30000u);
  EXPECT_EQ(ClassifyRange(s, 0x10000, 4), kReadable);
  EXPECT_EQ(ClassifyRange(s, 0x2FFFC, 4), kReadable);
  // The run holding the start must also hold the end.
  EXPECT_EQ(ClassifyRange(s, 0x2FFFE, 4), kNotReadable);
  EXPECT_EQ(ClassifyRange(s, 0x30000, 16), kExecuteOnly);
  EXPECT_EQ(ClassifyRange(s, 0xFFFFFFF0u, 16), kNotReadable);
  EXPECT_EQ(ClassifyRange(s, 0x5000, 1), kNotReadable);
}

TEST(DisasmMemory, GuardedReadHonoursSnapshotAndImage) {
  TMemoryImage image;
  image.Add(0x10000, std::vector<std::uint8_t>(0x20000, 0xAB));
  TDATryRead s = ThreeRuns();
  std::uint8_t buf[8] = {};
  EXPECT_TRUE(GuardedRead(image, 0x10000, buf, 8, &s));
  EXPECT_EQ(buf[7], 0xAB);
  EXPECT_FALSE(GuardedRead(image, 0xFFF8, buf, 8, nullptr));
  EXPECT_FALSE(GuardedRead(image, 0x2FFFC, buf, 8, nullptr));
  EXPECT_FALSE(GuardedRead(image, 0xFFFFFFFCu, buf, 8, nullptr));
}

}  // namespace
}  // namespace ostrel
