// The screenshot's PNG encodings: a 256-colour palette image and a 16-level
// grey image, and the choice between them.
#pragma once

#include "crash/imaging/bitmap_pixels.h"
#include "crash/imaging/wu_quantizer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ostrel {

inline constexpr std::array<std::uint8_t, 16> kGreyLevels = {
    0, 28, 52, 73, 92, 109, 125, 140, 155, 170, 185, 199, 213, 227, 241, 255};

// Palette indices by pixel: nearest filled entry by the sum of absolute
// channel differences, cached per cell of the top five bits of each channel.
// Rows top first, one index per pixel.
void MapToPalette(const BitmapPixels& pixels, const Palette256& palette,
                  std::vector<std::uint8_t>& imageData);

// 8-bit palette PNG; empty on failure.
std::vector<std::uint8_t> ColourPngBytes(const BitmapPixels& pixels);

// Turns the pixels grey in place ((77 r + 151 g + 28 b) / 256 in every channel).
void ConvertToGrey(BitmapPixels& pixels);

// 4-bit PNG with the 16 grey levels; turns the pixels grey first.
std::vector<std::uint8_t> GreyPngBytes(BitmapPixels& pixels);

// Whether the grey image must be made, given the colour image's length (0
// when it failed or was not made).
bool GreyImageNeeded(int format, std::size_t colourLength);

// Format 1: grey only; 2 to 5: colour, or grey when that is strictly shorter
// and the colour image is longer than 51200, 102400, 204800 or 307200 bytes;
// any other: colour. Grey also stands in when the colour image failed.
std::vector<std::uint8_t> PngBytesForFormat(BitmapPixels& pixels, int format);

}  // namespace ostrel
