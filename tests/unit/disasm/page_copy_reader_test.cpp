#include "crash/report/disasm/page_copy_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "crash/report/disasm/memory_image.h"

namespace ostrel {
namespace {

// An image whose pages can be freed, counting what is asked of it.
class TFreeingSource final : public IMemoryReader {
 public:
  TMemoryImage image;
  std::set<std::uint32_t> freed;  // page addresses
  mutable int reads = 0, wholePages = 0;

  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override {
    ++reads;
    if (len == TPageCopyReader::kPageSize) ++wholePages;
    for (std::uint64_t page = address & ~0xFFFull; page < std::uint64_t(address) + len;
         page += 0x1000) {
      if (freed.count(static_cast<std::uint32_t>(page))) return false;
    }
    return image.Read(address, dst, len);
  }
  bool Query(std::uint32_t address, TRegionInfo& info) const override {
    return image.Query(address, info);
  }
};

std::vector<std::uint8_t> Counting(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
  return bytes;
}

TEST(PageCopyReader, ReadsWhatTheSourceHoldsOnePageFetchAtATime) {
  TFreeingSource source;
  const std::vector<std::uint8_t> bytes = Counting(0x4000);
  source.image.Add(0x10000, bytes);
  TPageCopyReader reader(source);
  // Every dword of four pages, as a stack scan reads them.
  for (std::uint32_t at = 0x10000; at < 0x14000; at += 4) {
    std::uint32_t value = 0, expected = 0;
    ASSERT_TRUE(reader.Read(at, &value, 4)) << std::hex << at;
    std::memcpy(&expected, &bytes[at - 0x10000], 4);
    ASSERT_EQ(value, expected) << std::hex << at;
  }
  EXPECT_EQ(source.reads, 4);
  EXPECT_EQ(source.wholePages, 4);
  // Across a page boundary, and across the end of what the source holds.
  std::uint8_t across[16] = {};
  ASSERT_TRUE(reader.Read(0x10FF8, across, 16));
  EXPECT_EQ(0, std::memcmp(across, &bytes[0xFF8], 16));
  EXPECT_FALSE(reader.Read(0x13FF8, across, 16));
  EXPECT_FALSE(reader.Read(0xFFFFFFF8u, across, 16)) << "beyond the address space";
  EXPECT_TRUE(reader.Read(0x10000, across, 0));
}

TEST(PageCopyReader, APageFreedAfterItWasCopiedIsReadFromTheCopyUntilForgotten) {
  TFreeingSource source;
  const std::vector<std::uint8_t> bytes = Counting(0x2000);
  source.image.Add(0x20000, bytes);
  TPageCopyReader reader(source);
  std::uint32_t value = 0, expected = 0;
  ASSERT_TRUE(reader.Read(0x20010, &value, 4));
  // The thread ends and its stack is freed: the walk goes on from the copy.
  source.freed.insert(0x20000);
  const int readsBefore = source.reads;
  ASSERT_TRUE(reader.Read(0x20FFC, &value, 4));
  std::memcpy(&expected, &bytes[0xFFC], 4);
  EXPECT_EQ(value, expected);
  EXPECT_EQ(source.reads, readsBefore) << "served from the copy";
  // A page first asked for after it was freed cannot be read.
  source.freed.insert(0x21000);
  EXPECT_FALSE(reader.Read(0x21000, &value, 4));
  EXPECT_FALSE(reader.Read(0x20FFC, &value, 8)) << "half of it is gone";
  reader.Forget();
  EXPECT_FALSE(reader.Read(0x20010, &value, 4)) << "forgotten: read anew";
  source.freed.clear();
  EXPECT_TRUE(reader.Read(0x20010, &value, 4));
}

TEST(PageCopyReader, APagePartlyHeldIsReadThroughTheSourceAndSlotsAreReused) {
  TFreeingSource source;
  // Half a page, then nothing: the page cannot be had whole.
  const std::vector<std::uint8_t> half = Counting(0x800);
  source.image.Add(0x30000, half);
  const std::vector<std::uint8_t> far = Counting(0x1000);
  source.image.Add(0x50000, far);
  TPageCopyReader reader(source, 2);
  std::uint32_t value = 0, expected = 0;
  ASSERT_TRUE(reader.Read(0x307FC, &value, 4));
  std::memcpy(&expected, &half[0x7FC], 4);
  EXPECT_EQ(value, expected);
  EXPECT_FALSE(reader.Read(0x307FE, &value, 4));
  // Pages 0x30000 and 0x50000 share a slot of two: each read of the other
  // fetches anew, and still reads right.
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(reader.Read(0x50004, &value, 4));
    std::memcpy(&expected, &far[4], 4);
    EXPECT_EQ(value, expected);
    ASSERT_TRUE(reader.Read(0x30004, &value, 4));
    std::memcpy(&expected, &half[4], 4);
    EXPECT_EQ(value, expected);
  }
  TRegionInfo info;
  ASSERT_TRUE(reader.Query(0x50010, info));
  EXPECT_EQ(info.start, 0x50000u);
}

}  // namespace
}  // namespace ostrel
