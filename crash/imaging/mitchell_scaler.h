// Fitting a picture into a box and resampling it with the Mitchell-Netravali
// filter (B = C = 1/3) in 16.16 fixed point.
#pragma once

#include "crash/imaging/bitmap_pixels.h"

#include <optional>

namespace ostrel {

struct PictureSize {
  int width = 0;
  int height = 0;
};

// The size that fits maxWidth x maxHeight with the picture's aspect ratio (it
// may be larger than the picture); nothing when any side is 0 or less.
std::optional<PictureSize> FitSize(int width, int height, int maxWidth, int maxHeight);

// Resamples source into target (both allocated), rows first, then columns.
void ResampleMitchell(const BitmapPixels& source, const BitmapPixels& target);

}  // namespace ostrel
