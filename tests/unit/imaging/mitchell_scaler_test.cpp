#include "crash/imaging/mitchell_scaler.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(FitSize, KeepsAspectRatio) {
  auto fit = [](int w, int h, int mw, int mh) {
    const auto s = FitSize(w, h, mw, mh);
    return s ? std::make_pair(s->width, s->height) : std::make_pair(-1, -1);
  };
  EXPECT_EQ(fit(1920, 1080, 320, 180), std::make_pair(320, 180));  // same ratio: the box
  EXPECT_EQ(fit(1920, 1080, 400, 400), std::make_pair(400, 225));  // width limits
  EXPECT_EQ(fit(1080, 1920, 400, 400), std::make_pair(225, 400));  // height limits
  EXPECT_EQ(fit(100, 50, 1000, 500), std::make_pair(1000, 500));   // may enlarge
  EXPECT_EQ(fit(3840, 1080, 480, 300), std::make_pair(480, 135));
  EXPECT_EQ(fit(0, 10, 10, 10), std::make_pair(-1, -1));
  EXPECT_EQ(fit(10, 0, 10, 10), std::make_pair(-1, -1));
  EXPECT_EQ(fit(10, 10, 0, 10), std::make_pair(-1, -1));
  EXPECT_EQ(fit(10, 10, 10, -3), std::make_pair(-1, -1));
  EXPECT_EQ(fit(5000, 1, 100, 100), std::make_pair(-1, -1));  // would be 0 rows high
}

OwnedPixels Solid(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  OwnedPixels img(w, h);
  for (std::size_t i = 0; i < img.bits.size(); i += 4) {
    img.bits[i] = b;
    img.bits[i + 1] = g;
    img.bits[i + 2] = r;
    img.bits[i + 3] = 0xEE;
  }
  return img;
}

TEST(ResampleMitchell, SolidPicturesStaySolidEitherWay) {
  for (auto [tw, th] : {std::pair{40, 30}, std::pair{7, 5}, std::pair{131, 97}, std::pair{1, 1}}) {
    OwnedPixels src = Solid(40, 30, 10, 128, 250);
    OwnedPixels dst(tw, th);
    ResampleMitchell(src.View(), dst.View());
    for (std::size_t i = 0; i < dst.bits.size(); i += 4) {
      // Weights are rounded, not normalised, and both passes truncate: up to
      // one step per pass either way.
      ASSERT_NEAR(dst.bits[i], 10, 2) << tw << "x" << th << " at " << i;
      ASSERT_NEAR(dst.bits[i + 1], 128, 2);
      ASSERT_NEAR(dst.bits[i + 2], 250, 2);
      ASSERT_EQ(dst.bits[i + 3], 0);
    }
  }
}

TEST(ResampleMitchell, ClampsOvershootAndShrinksStripesToTheirMean) {
  // Black and white columns: enlarging overshoots past 0 and 255 next to the
  // edges, which must clamp rather than wrap.
  OwnedPixels src(8, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      for (int c = 0; c < 3; ++c) src.View().RowFromTop(y)[x * 4 + c] = x < 4 ? 0 : 255;
  OwnedPixels big(64, 32);
  ResampleMitchell(src.View(), big.View());
  const std::uint8_t* row = big.View().RowFromTop(10);
  EXPECT_EQ(row[0], 0);
  EXPECT_EQ(row[63 * 4], 255);
  for (int x = 1; x < 64; ++x) ASSERT_GE(row[x * 4], row[(x - 1) * 4]) << x;

  // Alternating one-pixel stripes shrunk by four average to mid grey.
  OwnedPixels stripes(400, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 400; ++x)
      for (int c = 0; c < 3; ++c) stripes.View().RowFromTop(y)[x * 4 + c] = x % 2 ? 255 : 0;
  OwnedPixels small(100, 10);
  ResampleMitchell(stripes.View(), small.View());
  for (int x = 2; x < 98; ++x) ASSERT_NEAR(small.View().RowFromTop(5)[x * 4], 128, 6) << x;
}

TEST(ResampleMitchell, TinyPicturesMirrorWithoutLeavingThem) {
  OwnedPixels src = Solid(1, 1, 1, 2, 3);
  OwnedPixels dst(5, 4);
  ResampleMitchell(src.View(), dst.View());
  EXPECT_NEAR(dst.bits[0], 1, 2);
  OwnedPixels two = Solid(2, 3, 90, 90, 90);
  OwnedPixels one(1, 1);
  ResampleMitchell(two.View(), one.View());
  EXPECT_NEAR(one.bits[0], 90, 2);
}

}  // namespace
}  // namespace ostrel
