#include "crash/imaging/bmp_codec.h"

#include "tests/unit/imaging/png_test_support.h"
#include "tests/unit/imaging/run_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ostrel {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void PutLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

OwnedPixels Pattern(int w, int h) {
  OwnedPixels img(w, h);
  for (std::size_t i = 0; i < img.bits.size(); i += 4) {
    img.bits[i] = static_cast<std::uint8_t>(i * 7);
    img.bits[i + 1] = static_cast<std::uint8_t>(i / 3);
    img.bits[i + 2] = static_cast<std::uint8_t>(255 - i % 251);
  }
  return img;
}

TEST(EncodeBmp, WritesFileAndInfoHeadersThenPixelsUnchanged) {
  OwnedPixels img = Pattern(5, 3);
  img.bits[3] = 0x77;  // the fourth byte is passed through as it is
  const auto b = EncodeBmp(img.View());
  ASSERT_EQ(b.size(), 54u + 60);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), 114u);
  EXPECT_EQ(Le32(b, 6), 0u);
  EXPECT_EQ(Le32(b, 10), 54u);
  const std::vector<std::uint32_t> info = {40, 5, 3, 1 | 32 << 16, 0, 60, 0, 0, 0, 0};
  for (std::size_t i = 0; i < info.size(); ++i) EXPECT_EQ(Le32(b, 14 + 4 * i), info[i]) << i;
  EXPECT_EQ(std::memcmp(b.data() + 54, img.bits.data(), 60), 0);
}

TEST(DecodeBmp, ReadsOwnFilesBack) {
  OwnedPixels img = Pattern(9, 4);
  const auto decoded = DecodeBmp(EncodeBmp(img.View()));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 9);
  EXPECT_EQ(decoded->height, 4);
  EXPECT_EQ(decoded->bits, img.bits);
}

// Files written by PIL in the layouts paint programs use.
TEST(DecodeBmp, ReadsOtherProgramsFilesToTheirPixels) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("ostrel-bmp-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string script =
      "import sys\nfrom PIL import Image\n"
      "d=sys.argv[1]\n"
      "im=Image.new('RGB',(13,7))\n"
      "im.putdata([((x*19)%256,(y*37)%256,(x*y*5)%256) for y in range(7) for x in range(13)])\n"
      "im.save(d+'/rgb24.bmp')\n"
      "im.quantize(16).save(d+'/pal8.bmp')\n"
      "im.convert('1').save(d+'/mono.bmp')\n"
      "for n in ['rgb24','pal8','mono']:\n"
      "  open(d+'/'+n+'.rgb','wb').write(Image.open(d+'/'+n+'.bmp').convert('RGB').tobytes())\n";
  std::ofstream(dir / "make.py") << script;
  int status = 0;
  const std::string out = test::RunCommand(
      std::string(test::PythonWithPil()) + " " + (dir / "make.py").string() + " " + dir.string(),
      &status);
  ASSERT_EQ(status, 0) << out;
  for (const char* name : {"rgb24", "pal8", "mono"}) {
    auto read = [&](const std::string& ext) {
      std::ifstream in(dir / (std::string(name) + ext), std::ios::binary);
      return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    const auto decoded = DecodeBmp(read(".bmp"));
    ASSERT_TRUE(decoded) << name;
    EXPECT_EQ(decoded->width, 13);
    EXPECT_EQ(decoded->height, 7);
    OwnedPixels copy = *decoded;
    EXPECT_EQ(test::RgbOf(copy.View()), read(".rgb")) << name;
    for (std::size_t i = 3; i < copy.bits.size(); i += 4) ASSERT_EQ(copy.bits[i], 0) << name;
  }
  fs::remove_all(dir);
}

TEST(DecodeBmp, TopDownAndBitFieldLayouts) {
  OwnedPixels img = Pattern(3, 2);
  auto file = EncodeBmp(img.View());
  // Same file, rows top-down: the decoded picture is flipped back.
  auto topDown = file;
  PutLe32(topDown, 22, static_cast<std::uint32_t>(-2));
  std::memcpy(topDown.data() + 54, img.bits.data() + 12, 12);
  std::memcpy(topDown.data() + 66, img.bits.data(), 12);
  const auto flipped = DecodeBmp(topDown);
  ASSERT_TRUE(flipped);
  EXPECT_EQ(flipped->bits, img.bits);

  // 16-bit 5-6-5 with bit-field masks after the info header.
  std::vector<std::uint8_t> f(54 + 12 + 4, 0);
  f[0] = 'B';
  f[1] = 'M';
  PutLe32(f, 10, 66);
  PutLe32(f, 14, 40);
  PutLe32(f, 18, 1);
  PutLe32(f, 22, 1);
  PutLe32(f, 26, 1 | 16 << 16);
  PutLe32(f, 30, 3);
  PutLe32(f, 54, 0xF800);
  PutLe32(f, 58, 0x07E0);
  PutLe32(f, 62, 0x001F);
  f[66] = 0x1F;  // pure blue
  f[67] = 0x00;
  const auto blue = DecodeBmp(f);
  ASSERT_TRUE(blue);
  EXPECT_EQ(blue->bits, (std::vector<std::uint8_t>{255, 0, 0, 0}));
}

TEST(DecodeBmp, HeadersThatLieGiveNothing) {
  OwnedPixels img = Pattern(16, 8);
  const auto good = EncodeBmp(img.View());
  auto with = [&](std::size_t at, std::uint32_t value) {
    auto f = good;
    PutLe32(f, at, value);
    return f;
  };
  EXPECT_FALSE(DecodeBmp(with(22, 9)));           // more rows than the file holds
  EXPECT_FALSE(DecodeBmp(with(18, 17)));          // wider than the data
  EXPECT_FALSE(DecodeBmp(with(10, 0xFFFFFFF0)));  // pixels past the end
  EXPECT_FALSE(DecodeBmp(with(10, 20)));          // pixels inside the header
  EXPECT_FALSE(DecodeBmp(with(18, 0)));           // no width
  EXPECT_FALSE(DecodeBmp(with(22, 0)));           // no height
  EXPECT_FALSE(DecodeBmp(with(18, 0x80000000)));  // negative width
  EXPECT_FALSE(DecodeBmp(with(22, 0x80000000)));  // the most negative height
  EXPECT_FALSE(DecodeBmp(with(18, 40000)));       // beyond the size limit
  EXPECT_FALSE(DecodeBmp(with(14, 41)));          // unknown header size
  EXPECT_FALSE(DecodeBmp(with(14, 0xFFFFFFFF)));
  EXPECT_FALSE(DecodeBmp(with(26, 1 | 7 << 16)));   // 7 bits per pixel
  EXPECT_FALSE(DecodeBmp(with(26, 2 | 32 << 16)));  // two planes
  EXPECT_FALSE(DecodeBmp(with(30, 1)));             // run-length data
  EXPECT_TRUE(DecodeBmp(with(2, 0xFFFFFFFF)));      // the stated file size is not used
  EXPECT_TRUE(DecodeBmp(with(34, 0xFFFFFFFF)));     // nor the stated image size
  // An 8-bit file whose palette runs past the end.
  auto pal = with(26, 1 | 8 << 16);
  PutLe32(pal, 46, 256);
  pal.resize(54 + 100);
  EXPECT_FALSE(DecodeBmp(pal));
  // Every truncation of a good file.
  for (std::size_t n = 0; n < good.size(); ++n) {
    ASSERT_FALSE(DecodeBmp(std::span(good).first(n))) << n;
  }
}

}  // namespace
}  // namespace ostrel
