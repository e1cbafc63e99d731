// Decoding our PNG files with outside readers (libpng, PIL) and picking
// them apart chunk by chunk.
#pragma once

#include "crash/imaging/bitmap_pixels.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ostrel::test {

struct PngChunk {
  std::string type;
  std::vector<std::uint8_t> data;
  bool crcOk = false;
};

// Chunks in file order; empty when the signature is wrong.
std::vector<PngChunk> SplitPng(const std::vector<std::uint8_t>& png);

// RGB bytes, rows top first, decoded by libpng; empty on failure.
std::vector<std::uint8_t> DecodeWithLibpng(const std::vector<std::uint8_t>& png, int* width,
                                           int* height);

// RGB bytes of the picture, top row first.
std::vector<std::uint8_t> RgbOf(const BitmapPixels& pixels);

// True when PIL decodes the file to exactly the expected RGB bytes; *message
// says what it saw otherwise.
bool PilDecodesTo(const std::vector<std::uint8_t>& png, const std::vector<std::uint8_t>& rgb,
                  std::string* message);

}  // namespace ostrel::test
