#include "crash/base/crc32.h"
#include "tests/support/random_bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

namespace ostrel {
namespace {

using test_data::RandomBytes;

TEST(Crc32Update, MatchesStandardCrcWhenCallerInverts) {
  const char* check = "123456789";
  EXPECT_EQ(Crc32Update(0xFFFFFFFF, check, 9) ^ 0xFFFFFFFF, 0xCBF43926u);
  // Without inversion the raw register is returned: zlib's crc32 inverts on both ends.
  const auto data = RandomBytes(4099, 1);
  for (std::uint32_t seed : {0u, 0x12345678u, 0xFFFFFFFFu}) {
    EXPECT_EQ(
        Crc32Update(seed, data.data(), data.size()),
        static_cast<std::uint32_t>(~crc32(~seed, data.data(), static_cast<uInt>(data.size()))));
  }
  // Chunked updates chain.
  std::uint32_t crc = 0xFFFFFFFF;
  crc = Crc32Update(crc, data.data(), 1000);
  crc = Crc32Update(crc, data.data() + 1000, data.size() - 1000);
  EXPECT_EQ(crc, Crc32Update(0xFFFFFFFF, data.data(), data.size()));
  EXPECT_EQ(Crc32Update(0xABCD, nullptr, 10), 0xABCDu);
  EXPECT_EQ(Crc32Update(0xABCD, data.data(), 0), 0xABCDu);
}

TEST(Crc32UpdateWord, IsTheUpdateOverTheFourLittleEndianBytes) {
  const std::uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(Crc32UpdateWord(0x9B00E51Du, 0x12345678u), Crc32Update(0x9B00E51Du, bytes, 4));
  EXPECT_NE(Crc32UpdateWord(0, 0x12345678u), Crc32UpdateWord(0, 0x78563412u));
}

}  // namespace
}  // namespace ostrel
