#include <gtest/gtest.h>

#include <vector>

#include "crash/handling/lifetime/restart_handover.h"

namespace ostrel {
namespace {

RestartHandover Sample() {
  RestartHandover h{0x00001A2B, 0x000002C4, {}};
  for (std::size_t i = 0; i < h.history.size(); ++i) h.history[i] = 0x0102030405060700ull + i;
  return h;
}

TEST(RestartHandover, LittleEndianRoundTrip) {
  std::vector<std::uint8_t> block(kRestartHandoverSize);
  ASSERT_TRUE(WriteRestartHandover(Sample(), block));
  const std::vector<std::uint8_t> head{0x2B, 0x1A, 0, 0, 0xC4, 2, 0, 0, 0, 7, 6, 5, 4, 3, 2, 1};
  EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 16), head);
  EXPECT_EQ(block[kRestartHandoverSize - 8], 0x09);  // the last entry ends the block
  const auto back = ReadRestartHandover(block);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->processId, 0x1A2Bu);
  EXPECT_EQ(back->handle, 0x2C4u);
  EXPECT_EQ(back->history, Sample().history);
}

TEST(RestartHandover, ShortBlockRefusedLongerOneUsedFromItsStart) {
  std::vector<std::uint8_t> shortBlock(kRestartHandoverSize - 1, 0xEE);
  EXPECT_FALSE(WriteRestartHandover(Sample(), shortBlock));
  EXPECT_EQ(shortBlock, std::vector<std::uint8_t>(kRestartHandoverSize - 1, 0xEE));
  EXPECT_FALSE(ReadRestartHandover(shortBlock));
  EXPECT_FALSE(ReadRestartHandover({}));
  std::vector<std::uint8_t> page(4096, 0xEE);
  ASSERT_TRUE(WriteRestartHandover(Sample(), page));
  EXPECT_EQ(page[kRestartHandoverSize], 0xEE);
  ASSERT_TRUE(ReadRestartHandover(page));
  EXPECT_EQ(ReadRestartHandover(page)->history, Sample().history);
}

}  // namespace
}  // namespace ostrel
