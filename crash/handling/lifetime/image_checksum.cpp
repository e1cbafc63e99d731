#include "crash/handling/lifetime/image_checksum.h"

#include <cstring>

namespace ostrel::integrity {
namespace {

std::uint32_t Read32(std::span<const std::uint8_t> b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

std::uint16_t Read16(std::span<const std::uint8_t> b, std::size_t at) {
  std::uint16_t v;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}

}  // namespace

std::optional<std::size_t> ChecksumFieldOffset(std::span<const std::uint8_t> file) {
  if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') return std::nullopt;
  const std::size_t pe = Read32(file, 0x3C);
  // Signature (4), file header (20), then the optional header: its magic
  // (2) and the checksum at 64, in both the 32- and the 64-bit layout.
  if (pe > file.size() || file.size() - pe < 4 + 20 + 68) return std::nullopt;
  if (std::memcmp(file.data() + pe, "PE\0\0", 4) != 0) return std::nullopt;
  const std::uint16_t magic = Read16(file, pe + 24);
  if (magic != 0x10B && magic != 0x20B) return std::nullopt;
  return pe + 24 + 64;
}

// The sum of the file's little-endian 16-bit words with the carries folded
// back in, a lone last byte as a word of its own; then the checksum field's
// two words taken out again as imagehlp does, and the file's length added.
// Read four bytes at a time: 0x10000 is 1 modulo 0xFFFF, so a 32-bit word
// adds what its two halves add.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> file, std::size_t fieldOffset) {
  const std::uint8_t* p = file.data();
  const std::size_t n = file.size();
  std::uint64_t sum = 0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    std::uint32_t w;
    std::memcpy(&w, p + i, 4);
    sum += w;
  }
  if (i + 2 <= n) {
    sum += static_cast<std::uint32_t>(p[i]) | static_cast<std::uint32_t>(p[i + 1]) << 8;
    i += 2;
  }
  if (i < n) sum += p[i];
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  std::uint32_t folded = static_cast<std::uint32_t>(sum);
  std::uint32_t stored = 0;
  if (fieldOffset + 4 <= n) std::memcpy(&stored, p + fieldOffset, 4);
  for (const std::uint32_t half : {stored & 0xFFFF, stored >> 16}) {
    folded = folded >= half ? folded - half : ((folded - half) & 0xFFFF) - 1;
  }
  return folded + static_cast<std::uint32_t>(n);
}

Verdict CheckImage(std::span<const std::uint8_t> file) {
  const std::optional<std::size_t> field = ChecksumFieldOffset(file);
  if (!field) return Verdict::NotAnImage;
  const std::uint32_t stored = Read32(file, *field);
  if (stored == 0) return Verdict::Unstamped;
  return ImageChecksum(file, *field) == stored ? Verdict::Sound : Verdict::Corrupt;
}

bool StampImage(std::span<std::uint8_t> file) {
  const std::optional<std::size_t> field = ChecksumFieldOffset(file);
  if (!field) return false;
  const std::uint32_t sum = ImageChecksum(file, *field);
  std::memcpy(file.data() + *field, &sum, 4);
  return true;
}

}  // namespace ostrel::integrity
