// BMP file bytes: writing the 32-bit layout and reading a user's file, whose
// header is untrusted.
#pragma once

#include "crash/imaging/bitmap_pixels.h"

#include <optional>
#include <span>

namespace ostrel {

// "BM" file header, 40-byte info header and the pixel memory unchanged.
std::vector<std::uint8_t> EncodeBmp(const BitmapPixels& pixels);

// Largest picture a file may describe; bigger ones are refused before any allocation.
constexpr int kMaxBmpSide = 32767;
constexpr std::uint64_t kMaxBmpPixels = 64ull << 20;

// Uncompressed BMP files of 1, 4, 8, 16, 24 or 32 bits per pixel (core, info,
// V4 and V5 headers, bit-field masks) as 32-bit pixels with the fourth byte 0.
// Nothing when the header is malformed or lies about the data the file holds.
std::optional<OwnedPixels> DecodeBmp(std::span<const std::uint8_t> file);

}  // namespace ostrel
