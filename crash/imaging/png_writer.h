// PNG file assembly: signature, IHDR, PLTE, one IDAT, IEND.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ostrel {

// A palette PNG of the given depth (8 or 4) over filtered image data (one
// filter byte 0 per line). Empty when the compressor fails.
std::vector<std::uint8_t> AssemblePalettePng(int width, int height, int bitDepth,
                                             std::span<const std::uint8_t> paletteRgb,
                                             std::span<const std::uint8_t> imageData);

}  // namespace ostrel
