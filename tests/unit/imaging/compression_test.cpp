#include "crash/imaging/compression.h"

#include "crash/base/crc32.h"
#include "tests/support/random_bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace ostrel {
namespace {

using test_data::RandomBytes;

std::vector<std::uint8_t> TextLike(std::size_t n) {
  const char* words[] = {"stack ", "frame ", "module ", "0x00401000 ", "Pelmora ", "\r\n"};
  std::vector<std::uint8_t> v;
  for (std::size_t i = 0; v.size() < n; ++i) {
    const char* w = words[(i * 7 + i / 3) % 6];
    v.insert(v.end(), w, w + std::strlen(w));
  }
  v.resize(n);
  return v;
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out(data.size() * 11 / 10 + 12);
  const int n = DeflateBuffer(data.data(), data.size(), out.data(), out.size());
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::vector<std::uint8_t> Blob(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> blob(12);
  const std::uint32_t length = static_cast<std::uint32_t>(data.size());
  const std::uint32_t crc = Crc32Update(0xFFFFFFFF, data.data(), data.size()) ^ 0xFFFFFFFF;
  std::memcpy(blob.data(), &length, 4);  // the build machine is little-endian
  std::memcpy(blob.data() + 8, &crc, 4);
  const auto packed = Deflate(data);
  blob.insert(blob.end(), packed.begin(), packed.end());
  return blob;
}

TEST(DeflateBuffer, IsRawLevelTwoStreamOfZlib) {
  const auto data = TextLike(100000);
  const auto raw = Deflate(data);
  ASSERT_FALSE(raw.empty());
  // The same parameters behind a zlib header: level 2, 15 window bits, memory level 8.
  uLongf zlen = compressBound(static_cast<uLong>(data.size()));
  std::vector<std::uint8_t> wrapped(zlen);
  ASSERT_EQ(compress2(wrapped.data(), &zlen, data.data(), static_cast<uLong>(data.size()), 2),
            Z_OK);
  ASSERT_GT(zlen, 6u);
  EXPECT_EQ(std::vector<std::uint8_t>(wrapped.begin() + 2, wrapped.begin() + zlen - 4), raw);
  std::vector<std::uint8_t> back(data.size());
  EXPECT_EQ(InflateBuffer(raw.data(), raw.size(), back.data(), back.size()),
            static_cast<int>(data.size()));
  EXPECT_EQ(back, data);
}

TEST(DeflateBuffer, EmptySourceGivesOneFinalBlock) {
  std::uint8_t out[12];
  const int n = DeflateBuffer(nullptr, 0, out, sizeof out);
  ASSERT_GT(n, 0);
  EXPECT_EQ(out[0] & 1, 1);  // BFINAL
  std::uint8_t none = 0;
  EXPECT_EQ(InflateBuffer(out, static_cast<std::size_t>(n), &none, 0), 0);
  z_stream s{};
  ASSERT_EQ(inflateInit2(&s, -15), Z_OK);
  s.next_in = out;
  s.avail_in = static_cast<uInt>(n);
  s.next_out = &none;
  s.avail_out = 1;
  EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(s.total_out, 0u);
  inflateEnd(&s);
}

TEST(DeflateBuffer, IncompressibleDataFitsCallersBound) {
  for (std::size_t n : {1u, 7u, 100u, 4096u, 65535u, 65536u, 300001u}) {
    const auto data = RandomBytes(n, static_cast<unsigned>(n));
    const auto packed = Deflate(data);
    ASSERT_FALSE(packed.empty()) << n;
    std::vector<std::uint8_t> back(n);
    EXPECT_EQ(InflateBuffer(packed.data(), packed.size(), back.data(), n), static_cast<int>(n));
    EXPECT_EQ(back, data);
  }
}

TEST(DeflateBuffer, TooSmallDestinationGivesZeroAndStaysInside) {
  const auto data = RandomBytes(5000, 9);
  std::vector<std::uint8_t> out(6000, 0xCC);
  EXPECT_EQ(DeflateBuffer(data.data(), data.size(), out.data(), 1000), 0);
  for (std::size_t i = 1000; i < out.size(); ++i) ASSERT_EQ(out[i], 0xCC) << i;
  EXPECT_EQ(DeflateBuffer(data.data(), data.size(), nullptr, 0), 0);
  EXPECT_EQ(DeflateBuffer(nullptr, 5, out.data(), out.size()), 0);
}

TEST(InflateBuffer, DemandsExactLengthsAndStaysInside) {
  const auto data = TextLike(20000);
  const auto packed = Deflate(data);
  std::vector<std::uint8_t> out(data.size() + 64, 0xCC);
  EXPECT_EQ(InflateBuffer(packed.data(), packed.size(), out.data(), data.size() + 1), 0);
  std::fill(out.begin(), out.end(), 0xCC);
  EXPECT_EQ(InflateBuffer(packed.data(), packed.size(), out.data(), data.size() - 1), 0);
  for (std::size_t i = data.size() - 1; i < out.size(); ++i) ASSERT_EQ(out[i], 0xCC) << i;
  // Bytes after the end of the stream are not consumed: failure.
  auto trailing = packed;
  trailing.push_back(0);
  EXPECT_EQ(InflateBuffer(trailing.data(), trailing.size(), out.data(), data.size()), 0);
  // A truncated stream.
  EXPECT_EQ(InflateBuffer(packed.data(), packed.size() - 1, out.data(), data.size()), 0);
  const auto garbage = RandomBytes(300, 3);
  EXPECT_EQ(InflateBuffer(garbage.data(), garbage.size(), out.data(), out.size()), 0);
  EXPECT_EQ(InflateBuffer(nullptr, 0, out.data(), out.size()), 0);
  EXPECT_EQ(InflateBuffer(packed.data(), packed.size(), out.data(), data.size()),
            static_cast<int>(data.size()));
}

TEST(UnpackBlob, RoundTripsAndRejectsShortOrCorruptBlobs) {
  const auto data = TextLike(12345);
  const auto blob = Blob(data);
  EXPECT_EQ(UnpackBlob(blob), data);
  EXPECT_TRUE(UnpackBlob({}).empty());
  EXPECT_TRUE(UnpackBlob(std::span(blob).first(12)).empty());
  EXPECT_TRUE(UnpackBlob(std::span(blob).first(blob.size() - 1)).empty());
  auto badCrc = blob;
  badCrc[8] ^= 1;
  EXPECT_TRUE(UnpackBlob(badCrc).empty());
  // The bytes at offset 4 are not read.
  auto other = blob;
  other[4] = 0x5A;
  other[7] = 0xA5;
  EXPECT_EQ(UnpackBlob(other), data);
}

TEST(UnpackBlob, LyingLengthGivesEmptyWithoutHugeAllocation) {
  const auto data = TextLike(5000);
  for (std::uint32_t length : {4999u, 5001u, 0u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    auto blob = Blob(data);
    std::memcpy(blob.data(), &length, 4);
    EXPECT_TRUE(UnpackBlob(blob).empty()) << length;
  }
  // Highly compressible data may legitimately claim far more than it carries.
  const std::vector<std::uint8_t> zeros(2000000, 0);
  EXPECT_EQ(UnpackBlob(Blob(zeros)), zeros);
}

}  // namespace
}  // namespace ostrel

namespace ostrel {
namespace {}  // namespace
}  // namespace ostrel
