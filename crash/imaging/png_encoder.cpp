#include "crash/imaging/png_encoder.h"

#include "crash/imaging/png_writer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace ostrel {
namespace {

std::size_t SizeLimitOf(int format) {
  switch (format) {
    case 2:
      return 51200;
    case 3:
      return 102400;
    case 4:
      return 204800;
    case 5:
      return 307200;
    default:
      return 0;
  }
}

// The filled palette entries in index order, packed for the nearest-entry search.
struct FilledEntries {
  int count = 0;
  std::uint8_t index[256];
  std::int16_t r[256], g[256], b[256];

  explicit FilledEntries(const Palette256& palette) {
    for (int k = 0; k < 256; ++k) {
      if (!palette.filled[k]) continue;  // an entry no box filled is never used
      index[count] = static_cast<std::uint8_t>(k);
      r[count] = palette.rgb[k * 3];
      g[count] = palette.rgb[k * 3 + 1];
      b[count] = palette.rgb[k * 3 + 2];
      ++count;
    }
  }

  // Smallest sum of absolute differences; the first such entry on ties.
  std::uint8_t Nearest(int red, int green, int blue) const {
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < count; ++i) {
      const int d = std::abs(red - r[i]) + std::abs(green - g[i]) + std::abs(blue - b[i]);
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
        if (d == 0) break;
      }
    }
    return count == 0 ? 0 : index[best];
  }
};

}  // namespace

void MapToPalette(const BitmapPixels& pixels, const Palette256& palette,
                  std::vector<std::uint8_t>& imageData) {
  const FilledEntries entries(palette);
  std::vector<std::int16_t> cache(32768, -1);
  const std::size_t line = static_cast<std::size_t>(pixels.width) + 1;
  imageData.resize(line * pixels.height);
  std::uint32_t lastColour = 0xFFFFFFFF;  // no pixel has this value
  std::uint8_t lastEntry = 0;
  for (int y = 0; y < pixels.height; ++y) {
    const std::uint8_t* p = pixels.RowFromTop(y);
    std::uint8_t* out = imageData.data() + line * y;
    *out++ = 0;  // filter type none
    for (int x = 0; x < pixels.width; ++x, p += 4) {
      std::uint32_t colour;
      std::memcpy(&colour, p, 4);  // blue, green, red, unused on a little-endian machine
      colour &= 0xFFFFFF;
      if (colour != lastColour) {  // runs of one colour skip the lookup
        lastColour = colour;
        const int key = (p[2] >> 3) | (p[1] >> 3) << 5 | (p[0] >> 3) << 10;
        std::int16_t entry = cache[key];
        if (entry < 0) {
          // The first pixel of a cell decides for the whole cell.
          entry = entries.Nearest(p[2], p[1], p[0]);
          cache[key] = entry;
        }
        lastEntry = static_cast<std::uint8_t>(entry);
      }
      *out++ = lastEntry;
    }
  }
}

std::vector<std::uint8_t> ColourPngBytes(const BitmapPixels& pixels) {
  if (pixels.width <= 0 || pixels.height <= 0 || pixels.bits == nullptr) return {};
  try {
    const Palette256 palette = QuantizeWu(pixels);
    std::vector<std::uint8_t> imageData;
    MapToPalette(pixels, palette, imageData);
    return AssemblePalettePng(pixels.width, pixels.height, 8, palette.rgb, imageData);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

void ConvertToGrey(BitmapPixels& pixels) {
  std::uint8_t* p = pixels.bits;
  const std::size_t count = static_cast<std::size_t>(pixels.width) * pixels.height;
  for (std::size_t i = 0; i < count; ++i, p += 4) {
    const auto v = static_cast<std::uint8_t>((77 * p[2] + 151 * p[1] + 28 * p[0]) / 256);
    p[0] = p[1] = p[2] = v;
  }
}

std::vector<std::uint8_t> GreyPngBytes(BitmapPixels& pixels) {
  if (pixels.width <= 0 || pixels.height <= 0 || pixels.bits == nullptr) return {};
  ConvertToGrey(pixels);
  std::uint8_t levelOf[256];
  for (int v = 0; v < 256; ++v) {
    int best = 0;
    for (int k = 1; k < 16; ++k) {
      if (std::abs(v - kGreyLevels[k]) < std::abs(v - kGreyLevels[best])) best = k;
    }
    levelOf[v] = static_cast<std::uint8_t>(best);
  }
  std::uint8_t palette[16 * 3];
  for (int k = 0; k < 16; ++k)
    palette[k * 3] = palette[k * 3 + 1] = palette[k * 3 + 2] = kGreyLevels[k];
  try {
    const std::size_t line = 1 + (static_cast<std::size_t>(pixels.width) + 1) / 2;
    std::vector<std::uint8_t> imageData(line * pixels.height, 0);
    for (int y = 0; y < pixels.height; ++y) {
      const std::uint8_t* p = pixels.RowFromTop(y);
      std::uint8_t* out = imageData.data() + line * y + 1;
      for (int x = 0; x < pixels.width; ++x, p += 4) {
        const std::uint8_t level = levelOf[p[0]];
        out[x / 2] |= (x & 1) ? level : static_cast<std::uint8_t>(level << 4);
      }
    }
    return AssemblePalettePng(pixels.width, pixels.height, 4, palette, imageData);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool GreyImageNeeded(int format, std::size_t colourLength) {
  const std::size_t limit = SizeLimitOf(format);
  return format == 1 || colourLength == 0 || (limit != 0 && colourLength > limit);
}

std::vector<std::uint8_t> PngBytesForFormat(BitmapPixels& pixels, int format) {
  std::vector<std::uint8_t> colour;
  if (format != 1) colour = ColourPngBytes(pixels);
  if (!GreyImageNeeded(format, colour.size())) return colour;
  std::vector<std::uint8_t> grey = GreyPngBytes(pixels);
  if (colour.empty()) return grey;
  // Of two equal lengths the colour image wins.
  if (!grey.empty() && grey.size() < colour.size()) return grey;
  return colour;
}

}  // namespace ostrel
