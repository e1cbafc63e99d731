#include "crash/imaging/bmp_codec.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace ostrel {
namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;

// One colour channel of a bit-field pixel, widened to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    bits = std::popcount(m);
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(v >> (bits - 8));
    const std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
};

struct Header {
  std::uint32_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: rows top-down
  int bitCount = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t coloursUsed = 0;
  std::uint32_t masks[3] = {0, 0, 0};
  std::size_t paletteOffset = 0;
  std::size_t paletteEntrySize = 4;
};

// The header fields, checked against each other and against the file size.
std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) {
  if (file.size() < 26 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  Header h;
  h.headerSize = Get32(&file[14]);
  const std::uint8_t* info = &file[14];
  if (h.headerSize == 12) {
    h.width = Get16(info + 4);
    h.height = Get16(info + 6);
    if (Get16(info + 8) != 1) return std::nullopt;
    h.bitCount = Get16(info + 10);
    h.paletteEntrySize = 3;
  } else if (h.headerSize == 40 || h.headerSize == 52 || h.headerSize == 56 ||
             h.headerSize == 108 || h.headerSize == 124) {
    if (file.size() < 14 + static_cast<std::size_t>(h.headerSize)) return std::nullopt;
    h.width = static_cast<std::int32_t>(Get32(info + 4));
    h.height = static_cast<std::int32_t>(Get32(info + 8));
    if (Get16(info + 12) != 1) return std::nullopt;
    h.bitCount = Get16(info + 14);
    h.compression = Get32(info + 16);
    h.coloursUsed = Get32(info + 32);
  } else {
    return std::nullopt;
  }
  if (14 + static_cast<std::size_t>(h.headerSize) > file.size()) return std::nullopt;
  h.paletteOffset = 14 + h.headerSize;
  if (h.compression == kBitFields) {
    if (h.bitCount != 16 && h.bitCount != 32) return std::nullopt;
    // Masks follow a plain info header, or sit at the same place inside longer ones.
    const std::size_t at = 54;
    if (at + 12 > file.size()) return std::nullopt;
    for (int i = 0; i < 3; ++i) h.masks[i] = Get32(&file[at + 4 * i]);
    if (h.headerSize == 40) h.paletteOffset += 12;
  } else if (h.compression != kRgb) {
    return std::nullopt;  // run-length and embedded JPEG or PNG data are not read
  }
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      return std::nullopt;
  }
  const std::int64_t rows = h.height < 0 ? -h.height : h.height;
  if (h.width <= 0 || rows == 0 || h.width > kMaxBmpSide || rows > kMaxBmpSide ||
      static_cast<std::uint64_t>(h.width) * rows > kMaxBmpPixels) {
    return std::nullopt;
  }
  if (h.bitCount <= 8) {
    const std::uint32_t most = 1u << h.bitCount;
    if (h.coloursUsed == 0 || h.coloursUsed > most) h.coloursUsed = most;
  } else {
    h.coloursUsed = 0;
  }
  return h;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const BitmapPixels& pixels) {
  const std::size_t imageSize = pixels.ByteCount();
  std::vector<std::uint8_t> out(54 + imageSize);
  std::uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, static_cast<std::uint32_t>(54 + imageSize));
  Put32(p + 10, 54);
  Put32(p + 14, 40);
  Put32(p + 18, static_cast<std::uint32_t>(pixels.width));
  Put32(p + 22, static_cast<std::uint32_t>(pixels.height));
  Put16(p + 26, 1);
  Put16(p + 28, 32);
  Put32(p + 34, static_cast<std::uint32_t>(imageSize));
  if (imageSize != 0) std::memcpy(p + 54, pixels.bits, imageSize);
  return out;
}

std::optional<OwnedPixels> DecodeBmp(std::span<const std::uint8_t> file) {
  const std::optional<Header> header = ReadHeader(file);
  if (!header) return std::nullopt;
  const Header& h = *header;
  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height < 0 ? -h.height : h.height);

  std::array<std::uint8_t, 256 * 4> palette{};  // missing entries stay black
  for (std::uint32_t i = 0; i < h.coloursUsed; ++i) {
    const std::size_t at = h.paletteOffset + i * h.paletteEntrySize;
    if (at + 3 > file.size()) return std::nullopt;
    std::memcpy(&palette[i * 4], &file[at], 3);
  }

  // The data offset and row length are trusted only as far as the file goes.
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * h.bitCount + 31) / 32 * 4;
  const std::uint64_t dataOffset = Get32(&file[10]);
  if (dataOffset < 14 + static_cast<std::uint64_t>(h.headerSize) ||
      dataOffset + stride * height > file.size()) {
    return std::nullopt;
  }

  std::uint32_t masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
  if (h.compression == kRgb && h.bitCount == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (h.compression == kRgb && h.bitCount == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
  }
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);

  OwnedPixels out;
  try {
    out = OwnedPixels(width, height);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (int row = 0; row < height; ++row) {
    // Output rows are bottom-up like the file's usual order.
    const int fileRow = h.height < 0 ? height - 1 - row : row;
    const std::uint8_t* src = file.data() + dataOffset + stride * fileRow;
    std::uint8_t* dst = out.bits.data() + static_cast<std::size_t>(row) * width * 4;
    for (int x = 0; x < width; ++x, dst += 4) {
      switch (h.bitCount) {
        case 1:
        case 4:
        case 8: {
          const int bitPos = x * h.bitCount;
          const int shift = 8 - h.bitCount - bitPos % 8;
          const int index = (src[bitPos / 8] >> shift) & ((1 << h.bitCount) - 1);
          std::memcpy(dst, &palette[index * 4], 3);
          break;
        }
        case 24:
          std::memcpy(dst, src + x * 3, 3);
          break;
        case 16:
        case 32: {
          const std::uint32_t v = h.bitCount == 16 ? Get16(src + x * 2) : Get32(src + x * 4);
          dst[0] = blue.Of(v);
          dst[1] = green.Of(v);
          dst[2] = red.Of(v);
          break;
        }
        default:
          break;
      }
      dst[3] = 0;
    }
  }
  return out;
}

}  // namespace ostrel
