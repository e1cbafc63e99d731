#include "crash/handling/lifetime/image_checksum.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using ostrel::integrity::CheckImage;
using ostrel::integrity::ChecksumFieldOffset;
using ostrel::integrity::StampImage;
using ostrel::integrity::Verdict;

// A PE32 (or PE32+) header at 0x80 followed by varied bytes.
std::vector<std::uint8_t> Image(std::size_t size, std::uint16_t magic = 0x10B) {
  std::vector<std::uint8_t> b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 131 + (i >> 7));
  b[0] = 'M';
  b[1] = 'Z';
  const std::uint32_t pe = 0x80;
  std::memcpy(&b[0x3C], &pe, 4);
  std::memcpy(&b[pe], "PE\0\0", 4);
  std::memcpy(&b[pe + 24], &magic, 2);
  if (size >= pe + 24 + 68) std::memset(&b[pe + 24 + 64], 0, 4);
  return b;
}

std::uint32_t Field(const std::vector<std::uint8_t>& b) {
  std::uint32_t v;
  std::memcpy(&v, &b[*ChecksumFieldOffset(b)], 4);
  return v;
}

// The checksum as imagehlp defines it: the whole file a 16-bit word at a
// time, carries folded at every step, then the field's two words taken out
// with a borrow. The fast sum reads four bytes at a time and must agree.
std::uint32_t WordByWord(const std::vector<std::uint8_t>& b, std::size_t field) {
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at + 1 < b.size(); at += 2) {
    sum += static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (b.size() % 2) sum += b.back();
  sum = (sum & 0xFFFF) + (sum >> 16);
  for (std::size_t at : {field, field + 2}) {
    const std::uint32_t half = b[at] | static_cast<std::uint32_t>(b[at + 1]) << 8;
    sum = sum >= half ? sum - half : ((sum - half) & 0xFFFF) - 1;
  }
  return sum + static_cast<std::uint32_t>(b.size());
}

TEST(ImageChecksum, FastSumAgreesWithTheWordByWordDefinition) {
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (std::size_t size : {std::size_t{0x100}, std::size_t{0x101}, std::size_t{0x102},
                           std::size_t{0x103}, std::size_t{65537}, std::size_t{300001}}) {
    for (int trial = 0; trial < 4; ++trial) {
      std::vector<std::uint8_t> b(size);
      // Runs of 0xFF and of 0 too: they test the folding of carries.
      for (auto& c : b)
        c = trial == 1 ? 0xFF : trial == 2 ? 0 : static_cast<std::uint8_t>(next() >> 16);
      const std::size_t field = (next() % ((size - 8) / 2)) * 2;
      EXPECT_EQ(ostrel::integrity::ImageChecksum(b, field), WordByWord(b, field))
          << size << " trial " << trial << " field " << field;
    }
  }
}

TEST(ImageChecksum, StampedImageIsSoundInBothLayoutsAndAtOddLengths) {
  for (std::uint16_t magic : {std::uint16_t{0x10B}, std::uint16_t{0x20B}}) {
    for (std::size_t size : {std::size_t{0x200}, std::size_t{0x201}, std::size_t{70001}}) {
      auto b = Image(size, magic);
      EXPECT_EQ(CheckImage(b), Verdict::Unstamped);
      ASSERT_TRUE(StampImage(b));
      EXPECT_NE(Field(b), 0u);
      EXPECT_EQ(CheckImage(b), Verdict::Sound) << size;
      // Stamping again changes nothing: the field does not count.
      const std::uint32_t first = Field(b);
      ASSERT_TRUE(StampImage(b));
      EXPECT_EQ(Field(b), first);
    }
  }
}

TEST(ImageChecksum, EveryChangedByteOrLengthIsCorrupt) {
  auto stamped = Image(4099);
  ASSERT_TRUE(StampImage(stamped));
  const std::size_t field = *ChecksumFieldOffset(stamped);
  for (std::size_t at = 0; at < stamped.size(); at += 7) {
    if (at >= 0x3C && at < 0x40) continue;  // moves the header itself
    if (at >= field && at < field + 4) continue;
    auto b = stamped;
    b[at] ^= 0x10;
    const Verdict v = CheckImage(b);
    EXPECT_TRUE(v == Verdict::Corrupt || v == Verdict::NotAnImage) << "byte " << at;
  }
  auto cut = stamped;
  cut.pop_back();
  EXPECT_EQ(CheckImage(cut), Verdict::Corrupt);
  auto longer = stamped;
  longer.push_back(0);
  longer.push_back(0);
  EXPECT_EQ(CheckImage(longer), Verdict::Corrupt) << "appended zeros count through the length";
  auto wrongField = stamped;
  wrongField[field] ^= 1;
  EXPECT_EQ(CheckImage(wrongField), Verdict::Corrupt);
}

TEST(ImageChecksum, BytesThatAreNoImageAreNeitherJudgedNorStamped) {
  std::vector<std::vector<std::uint8_t>> bad = {{}, {'M', 'Z'}, std::vector<std::uint8_t>(64, 0)};
  auto noPe = Image(0x200);
  noPe[0x80] = 'X';
  bad.push_back(noPe);
  auto farHeader = Image(0x200);
  const std::uint32_t far = 0xFFFFFFF0;
  std::memcpy(&farHeader[0x3C], &far, 4);
  bad.push_back(farHeader);
  auto shortHeader = Image(0x80 + 4 + 20 + 60);
  bad.push_back(shortHeader);
  auto romMagic = Image(0x200, 0x107);
  bad.push_back(romMagic);
  for (auto& b : bad) {
    EXPECT_EQ(CheckImage(b), Verdict::NotAnImage);
    const auto before = b;
    EXPECT_FALSE(StampImage(b));
    EXPECT_EQ(b, before);
  }
}

}  // namespace
