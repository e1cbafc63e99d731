#include "crash/imaging/mitchell_scaler.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace ostrel {
namespace {

constexpr double kSupport = 2.0;

double Mitchell(double x) {
  constexpr double B = 1.0 / 3.0, C = 1.0 / 3.0;
  x = std::fabs(x);
  const double xx = x * x;
  if (x < 1.0) {
    return ((12 - 9 * B - 6 * C) * xx * x + (-18 + 12 * B + 6 * C) * xx + (6 - 2 * B)) / 6;
  }
  if (x < 2.0) {
    return ((-B - 6 * C) * xx * x + (6 * B + 30 * C) * xx + (-12 * B - 48 * C) * x +
            (8 * B + 24 * C)) /
           6;
  }
  return 0.0;
}

struct Contribution {
  int index;   // source index, mirrored into range
  int weight;  // 16 fraction bits
};

struct Contributors {
  std::vector<int> start;  // into list, one more than targets
  std::vector<Contribution> list;
};

int Mirror(int i, int n) {
  if (i < 0) i = -i;
  if (i >= n) i = 2 * n - 1 - i;
  // Pictures narrower than the filter can mirror past the other edge too.
  if (i < 0 || i >= n) i = i < 0 ? 0 : n - 1;
  return i;
}

Contributors Weights(int sourceLength, int targetLength) {
  Contributors c;
  c.start.reserve(targetLength + 1);
  const double scale = static_cast<double>(targetLength) / sourceLength;
  const bool shrinking = scale < 1.0;
  const double width = shrinking ? kSupport / scale : kSupport;
  for (int i = 0; i < targetLength; ++i) {
    c.start.push_back(static_cast<int>(c.list.size()));
    const double centre = i / scale;
    const int left = static_cast<int>(std::ceil(centre - width));
    const int right = static_cast<int>(std::floor(centre + width));
    for (int j = left; j <= right; ++j) {
      const double w = shrinking ? Mitchell((centre - j) * scale) * scale : Mitchell(centre - j);
      const int fixed = static_cast<int>(std::lround(w * 65536.0));
      if (fixed == 0) continue;
      c.list.push_back({Mirror(j, sourceLength), fixed});
    }
  }
  c.start.push_back(static_cast<int>(c.list.size()));
  return c;
}

std::uint8_t Clamp(std::int64_t sum) {
  if (sum < 0) return 0;
  if (sum >= 0xFF0001) return 255;
  return static_cast<std::uint8_t>(sum >> 16);
}

}  // namespace

std::optional<PictureSize> FitSize(int width, int height, int maxWidth, int maxHeight) {
  if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0) return std::nullopt;
  const std::int64_t h = static_cast<std::int64_t>(height) * maxWidth / width;
  const std::int64_t w = static_cast<std::int64_t>(width) * maxHeight / height;
  PictureSize size{maxWidth, maxHeight};
  if (maxHeight < h || maxWidth < w) {
    if (static_cast<std::int64_t>(width) * 65536 / maxWidth >
        static_cast<std::int64_t>(height) * 65536 / maxHeight) {
      size.height = static_cast<int>(h);
    } else {
      size.width = static_cast<int>(w);
    }
  }
  if (size.width <= 0 || size.height <= 0) return std::nullopt;
  return size;
}

void ResampleMitchell(const BitmapPixels& source, const BitmapPixels& target) {
  const Contributors across = Weights(source.width, target.width);
  const Contributors down = Weights(source.height, target.height);
  std::vector<std::uint8_t> column(static_cast<std::size_t>(source.height) * 4);
  for (int x = 0; x < target.width; ++x) {
    // One scaled column from every source row.
    for (int y = 0; y < source.height; ++y) {
      const std::uint8_t* row = source.RowFromTop(y);
      std::int64_t sum[3] = {0, 0, 0};
      for (int k = across.start[x]; k < across.start[x + 1]; ++k) {
        const std::uint8_t* p = row + across.list[k].index * 4;
        for (int ch = 0; ch < 3; ++ch)
          sum[ch] += static_cast<std::int64_t>(p[ch]) * across.list[k].weight;
      }
      for (int ch = 0; ch < 3; ++ch) column[y * 4 + ch] = Clamp(sum[ch]);
    }
    for (int y = 0; y < target.height; ++y) {
      std::int64_t sum[3] = {0, 0, 0};
      for (int k = down.start[y]; k < down.start[y + 1]; ++k) {
        const std::uint8_t* p = &column[down.list[k].index * 4];
        for (int ch = 0; ch < 3; ++ch)
          sum[ch] += static_cast<std::int64_t>(p[ch]) * down.list[k].weight;
      }
      std::uint8_t* out = target.RowFromTop(y) + x * 4;
      for (int ch = 0; ch < 3; ++ch) out[ch] = Clamp(sum[ch]);
      out[3] = 0;
    }
  }
}

}  // namespace ostrel
