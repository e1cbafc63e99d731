// Xiaolin Wu's colour quantiser over the top five bits of each channel.
#pragma once

#include "crash/imaging/bitmap_pixels.h"

#include <array>

namespace ostrel {

struct Palette256 {
  std::array<std::uint8_t, 256 * 3> rgb{};  // unfilled entries stay black
  std::array<bool, 256> filled{};
  int boxes = 0;  // boxes the quantiser produced, filled or not
};

// Up to 256 entries; box i gives entry i, its truncated mean colour.
Palette256 QuantizeWu(const BitmapPixels& pixels);

}  // namespace ostrel
