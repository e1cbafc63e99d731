#include "crash/imaging/png_encoder.h"

#include "crash/imaging/compression.h"
#include "tests/unit/imaging/png_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace ostrel {
namespace {

using test::DecodeWithLibpng;
using test::PilDecodesTo;
using test::RgbOf;
using test::SplitPng;

void Set(OwnedPixels& img, int x, int yFromTop, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::uint8_t* p = img.View().RowFromTop(yFromTop) + x * 4;
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

// Blocks of seven exact colours.
OwnedPixels FewColours(int w, int h) {
  static const std::uint8_t colours[7][3] = {{255, 255, 255}, {0, 0, 0},   {212, 208, 200},
                                             {10, 36, 106},   {255, 0, 0}, {0, 128, 0},
                                             {250, 250, 20}};
  OwnedPixels img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const auto* c = colours[(x / 13 + y / 9) % 7];
      Set(img, x, y, c[0], c[1], c[2]);
    }
  }
  return img;
}

// Smooth gradients with noise: every colour cell is busy.
OwnedPixels Busy(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  OwnedPixels img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int n = static_cast<int>(rng() % 24) - 12;
      auto c = [&](int v) { return static_cast<std::uint8_t>(std::clamp(v + n, 0, 255)); };
      Set(img, x, y, c(x * 255 / w), c(y * 255 / h), c(((x + y) * 3) % 256));
    }
  }
  return img;
}

std::vector<std::uint8_t> ImageDataOf(const std::vector<test::PngChunk>& chunks,
                                      std::size_t length) {
  for (const auto& c : chunks) {
    if (c.type != "IDAT") continue;
    std::vector<std::uint8_t> data(length);
    if (c.data.size() < 6 || c.data[0] != 0x78 || c.data[1] != 0x01) return {};
    if (InflateBuffer(c.data.data() + 2, c.data.size() - 6, data.data(), length) !=
        static_cast<int>(length)) {
      return {};
    }
    const std::uint8_t* a = &c.data[c.data.size() - 4];
    const std::uint32_t adler = a[0] << 24 | a[1] << 16 | a[2] << 8 | a[3];
    std::uint32_t s1 = 1, s2 = 0;
    for (std::uint8_t b : data) {
      s1 = (s1 + b) % 65521;
      s2 = (s2 + s1) % 65521;
    }
    if (adler != (s2 << 16 | s1)) return {};
    return data;
  }
  return {};
}

TEST(ColourPng, ExactColoursDecodeExactlyInLibpngAndPil) {
  OwnedPixels img = FewColours(101, 37);
  const auto png = ColourPngBytes(img.View());
  const auto chunks = SplitPng(png);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[0].data, (std::vector<std::uint8_t>{0, 0, 0, 101, 0, 0, 0, 37, 8, 3, 0, 0, 0}));
  EXPECT_EQ(chunks[1].type, "PLTE");
  EXPECT_EQ(chunks[1].data.size(), 768u);  // all 256 entries even with 7 colours
  EXPECT_EQ(chunks[2].type, "IDAT");
  EXPECT_EQ(chunks[3].type, "IEND");
  EXPECT_TRUE(chunks[3].data.empty());
  for (const auto& c : chunks) EXPECT_TRUE(c.crcOk) << c.type;

  const auto data = ImageDataOf(chunks, 37u * 102);  // 37 lines of 1 + 101 bytes
  ASSERT_EQ(data.size(), 37u * 102);
  for (int y = 0; y < 37; ++y) EXPECT_EQ(data[y * 102], 0) << "filter of line " << y;

  int w = 0, h = 0;
  EXPECT_EQ(DecodeWithLibpng(png, &w, &h), RgbOf(img.View()));
  EXPECT_EQ(w, 101);
  EXPECT_EQ(h, 37);
  std::string seen;
  EXPECT_TRUE(PilDecodesTo(png, RgbOf(img.View()), &seen)) << seen;
}

TEST(ColourPng, BusyPictureUsesNearestEntryOfEachCellsFirstPixel) {
  OwnedPixels img = Busy(160, 90, 7);
  const Palette256 palette = QuantizeWu(img.View());
  EXPECT_EQ(palette.boxes, 256);
  std::vector<std::uint8_t> indices;
  MapToPalette(img.View(), palette, indices);
  ASSERT_EQ(indices.size(), 90u * 161);

  std::map<int, int> firstOfCell;
  for (int y = 0; y < 90; ++y) {
    const std::uint8_t* p = img.View().RowFromTop(y);
    for (int x = 0; x < 160; ++x, p += 4) {
      const int key = p[2] / 8 + (p[1] / 8) * 32 + (p[0] / 8) * 1024;
      const int got = indices[y * 161 + 1 + x];
      ASSERT_TRUE(palette.filled[got]);
      auto [it, first] = firstOfCell.emplace(key, got);
      if (!first) {
        ASSERT_EQ(got, it->second) << "cell " << key << " changed its entry";
        continue;
      }
      int best = -1, bestD = 1 << 30;
      for (int k = 0; k < 256; ++k) {
        if (!palette.filled[k]) continue;
        const int d = std::abs(p[2] - palette.rgb[k * 3]) +
                      std::abs(p[1] - palette.rgb[k * 3 + 1]) +
                      std::abs(p[0] - palette.rgb[k * 3 + 2]);
        if (d < bestD) bestD = d, best = k;
      }
      ASSERT_EQ(got, best) << x << "," << y;
    }
  }

  // Decoded through libpng, the picture stays close to the original.
  const auto png = ColourPngBytes(img.View());
  int w = 0, h = 0;
  const auto rgb = DecodeWithLibpng(png, &w, &h);
  const auto want = RgbOf(img.View());
  ASSERT_EQ(rgb.size(), want.size());
  double error = 0;
  for (std::size_t i = 0; i < rgb.size(); ++i) error += std::abs(rgb[i] - want[i]);
  EXPECT_LT(error / rgb.size(), 8.0);
}

TEST(WuQuantizer, StopsEarlyAndLeavesUnfilledEntriesUnused) {
  OwnedPixels img(20, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) x < 5 ? Set(img, x, y, 200, 10, 10) : Set(img, x, y, 17, 99, 250);
  const Palette256 palette = QuantizeWu(img.View());
  EXPECT_EQ(palette.boxes, 2);
  std::set<std::vector<std::uint8_t>> colours;
  for (int k = 0; k < 256; ++k) {
    if (palette.filled[k])
      colours.insert({palette.rgb[k * 3], palette.rgb[k * 3 + 1], palette.rgb[k * 3 + 2]});
  }
  EXPECT_EQ(colours, (std::set<std::vector<std::uint8_t>>{{200, 10, 10}, {17, 99, 250}}));
  for (int k = 2; k < 256; ++k) EXPECT_FALSE(palette.filled[k]);
}

TEST(WuQuantizer, MeansStayRightOnScreensTooLargeForThirtyTwoBitSums) {
  // 8.8 million white pixels: the red sum alone exceeds 2^31.
  OwnedPixels img(4000, 2200);
  std::fill(img.bits.begin(), img.bits.end(), 255);
  const Palette256 palette = QuantizeWu(img.View());
  ASSERT_TRUE(palette.filled[0]);
  EXPECT_EQ(palette.rgb[0], 255);
  EXPECT_EQ(palette.rgb[1], 255);
  EXPECT_EQ(palette.rgb[2], 255);
}

TEST(GreyPng, OddWidthPacksNibblesAndTurnsPictureGrey) {
  OwnedPixels img = Busy(7, 3, 3);
  const OwnedPixels before = img;
  BitmapPixels view = img.View();
  const auto png = GreyPngBytes(view);
  const auto chunks = SplitPng(png);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].data, (std::vector<std::uint8_t>{0, 0, 0, 7, 0, 0, 0, 3, 4, 3, 0, 0, 0}));
  const std::vector<std::uint8_t> levels = {0,   28,  52,  73,  92,  109, 125, 140,
                                            155, 170, 185, 199, 213, 227, 241, 255};
  ASSERT_EQ(chunks[1].data.size(), 48u);
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(chunks[1].data[k * 3], levels[k]);
    EXPECT_EQ(chunks[1].data[k * 3 + 2], levels[k]);
  }
  const auto data = ImageDataOf(chunks, 3 * 5);
  ASSERT_EQ(data.size(), 15u);
  std::vector<std::uint8_t> expectRgb;
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(data[y * 5], 0);
    EXPECT_EQ(data[y * 5 + 4] & 0x0F, 0) << "unused half of the last byte";
    const std::uint8_t* was = const_cast<OwnedPixels&>(before).View().RowFromTop(y);
    const std::uint8_t* now = view.RowFromTop(y);
    for (int x = 0; x < 7; ++x, was += 4, now += 4) {
      const int grey = (77 * was[2] + 151 * was[1] + 28 * was[0]) / 256;
      EXPECT_TRUE(now[0] == grey && now[1] == grey && now[2] == grey) << x << "," << y;
      int level = 0;
      for (int k = 1; k < 16; ++k)
        if (std::abs(grey - levels[k]) < std::abs(grey - levels[level])) level = k;
      const int nibble = x % 2 ? data[y * 5 + 1 + x / 2] & 0x0F : data[y * 5 + 1 + x / 2] >> 4;
      EXPECT_EQ(nibble, level) << x << "," << y;
      expectRgb.insert(expectRgb.end(), 3, levels[level]);
    }
  }
  int w = 0, h = 0;
  EXPECT_EQ(DecodeWithLibpng(png, &w, &h), expectRgb);
  std::string seen;
  EXPECT_TRUE(PilDecodesTo(png, expectRgb, &seen)) << seen;
}

TEST(PngFormat, SizeLimitsAreStrict) {
  const std::size_t limits[] = {51200, 102400, 204800, 307200};
  for (int format = 2; format <= 5; ++format) {
    EXPECT_FALSE(GreyImageNeeded(format, limits[format - 2])) << format;
    EXPECT_TRUE(GreyImageNeeded(format, limits[format - 2] + 1)) << format;
  }
  EXPECT_TRUE(GreyImageNeeded(1, 100));
  EXPECT_FALSE(GreyImageNeeded(0, 50000000));
  EXPECT_FALSE(GreyImageNeeded(6, 50000000));
  EXPECT_FALSE(GreyImageNeeded(-1, 50000000));
  EXPECT_TRUE(GreyImageNeeded(0, 0)) << "grey stands in for a failed colour image";
}

TEST(PngFormat, LargeColourImageGivesWayToShorterGreyOne) {
  const OwnedPixels original = Busy(640, 400, 11);
  OwnedPixels copy = original;
  const auto colour = ColourPngBytes(copy.View());
  ASSERT_GT(colour.size(), 51200u);
  BitmapPixels greyView = copy.View();
  const auto grey = GreyPngBytes(greyView);
  ASSERT_LT(grey.size(), colour.size());

  OwnedPixels a = original;
  BitmapPixels view = a.View();
  EXPECT_EQ(PngBytesForFormat(view, 0), colour);
  EXPECT_EQ(a.bits, original.bits) << "colour only leaves the picture alone";

  OwnedPixels b = original;
  view = b.View();
  EXPECT_EQ(PngBytesForFormat(view, 2), grey);
  EXPECT_EQ(b.bits, copy.bits) << "the grey image leaves the picture grey";

  OwnedPixels c = original;
  view = c.View();
  const auto five = PngBytesForFormat(view, 5);
  if (colour.size() <= 307200) {
    EXPECT_EQ(five, colour);
  } else {
    EXPECT_EQ(five, grey);
  }

  OwnedPixels d = original;
  view = d.View();
  EXPECT_EQ(PngBytesForFormat(view, 1), grey);
}

TEST(PngFormat, PictureWithoutPixelsGivesNoImage) {
  OwnedPixels none;
  BitmapPixels view = none.View();
  EXPECT_TRUE(PngBytesForFormat(view, 0).empty());
  EXPECT_TRUE(PngBytesForFormat(view, 1).empty());
}

}  // namespace
}  // namespace ostrel
