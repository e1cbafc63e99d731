#include "crash/imaging/png_writer.h"

#include "crash/imaging/compression.h"
#include "crash/base/crc32.h"

#include <zlib.h>

#include <new>

namespace ostrel {
namespace {

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Appends a chunk whose data are already in place after its 8-byte head.
void CloseChunk(std::vector<std::uint8_t>& out, std::size_t headAt) {
  const std::size_t dataLength = out.size() - headAt - 8;
  for (int i = 0; i < 4; ++i)
    out[headAt + i] = static_cast<std::uint8_t>(dataLength >> (24 - 8 * i));
  const std::uint32_t crc =
      Crc32Update(0xFFFFFFFFu, out.data() + headAt + 4, dataLength + 4) ^ 0xFFFFFFFFu;
  PutBe32(out, crc);
}

std::size_t OpenChunk(std::vector<std::uint8_t>& out, const char* type) {
  const std::size_t at = out.size();
  PutBe32(out, 0);
  out.insert(out.end(), type, type + 4);
  return at;
}

}  // namespace

std::vector<std::uint8_t> AssemblePalettePng(int width, int height, int bitDepth,
                                             std::span<const std::uint8_t> paletteRgb,
                                             std::span<const std::uint8_t> imageData) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> out;
  try {
    const std::size_t bound = imageData.size() * 11 / 10 + 12;
    out.reserve(8 + 25 + 12 + paletteRgb.size() + 12 + 6 + bound + 12);
    out.insert(out.end(), kSignature, kSignature + 8);

    std::size_t at = OpenChunk(out, "IHDR");
    PutBe32(out, static_cast<std::uint32_t>(width));
    PutBe32(out, static_cast<std::uint32_t>(height));
    const std::uint8_t tail[5] = {static_cast<std::uint8_t>(bitDepth), 3, 0, 0, 0};
    out.insert(out.end(), tail, tail + 5);
    CloseChunk(out, at);

    at = OpenChunk(out, "PLTE");
    out.insert(out.end(), paletteRgb.begin(), paletteRgb.end());
    CloseChunk(out, at);

    // Compress straight into the file buffer after the zlib header.
    at = OpenChunk(out, "IDAT");
    out.push_back(0x78);
    out.push_back(0x01);
    const std::size_t packedAt = out.size();
    out.resize(packedAt + bound);
    const int packed =
        DeflateBuffer(imageData.data(), imageData.size(), out.data() + packedAt, bound);
    if (packed <= 0) return {};
    out.resize(packedAt + static_cast<std::size_t>(packed));
    uLong adler = adler32(0, nullptr, 0);
    // adler32 takes uInt lengths; feed large images in pieces.
    for (std::size_t done = 0; done < imageData.size();) {
      const std::size_t piece = std::min<std::size_t>(imageData.size() - done, 1u << 30);
      adler = adler32(adler, imageData.data() + done, static_cast<uInt>(piece));
      done += piece;
    }
    PutBe32(out, static_cast<std::uint32_t>(adler));
    CloseChunk(out, at);

    at = OpenChunk(out, "IEND");
    CloseChunk(out, at);
  } catch (const std::bad_alloc&) {
    return {};
  }
  return out;
}

}  // namespace ostrel
