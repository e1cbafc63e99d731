// The pixel memory of a 32-bit device-independent bitmap: rows bottom-up,
// 4 bytes per pixel (blue, green, red, unused), no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ostrel {

struct BitmapPixels {
  int width = 0;
  int height = 0;
  std::uint8_t* bits = nullptr;

  std::size_t ByteCount() const { return static_cast<std::size_t>(width) * height * 4; }
  // Picture row y, counted from the top.
  std::uint8_t* RowFromTop(int y) const {
    return bits + static_cast<std::size_t>(height - 1 - y) * width * 4;
  }
};

// Pixel memory owned by a vector, for code that has no GDI bitmap.
struct OwnedPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;

  OwnedPixels() = default;
  OwnedPixels(int w, int h) : width(w), height(h), bits(static_cast<std::size_t>(w) * h * 4) {}
  BitmapPixels View() { return {width, height, bits.data()}; }
};

}  // namespace ostrel
