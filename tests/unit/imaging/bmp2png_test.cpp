#include "crash/imaging/bmp_codec.h"
#include "tests/unit/imaging/png_test_support.h"
#include "tests/unit/imaging/run_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(Bmp2Png, ConvertsScalesAndRefusesBadInput) {
  const fs::path dir = fs::temp_directory_path() / ("ostrel-bmp2png-" + std::to_string(getpid()));
  fs::create_directories(dir);
  OwnedPixels img(120, 60);
  for (std::size_t i = 0; i < img.bits.size(); i += 4) {
    const std::size_t pixel = i / 4;
    img.bits[i] = (pixel % 120) < 60 ? 200 : 10;  // two flat halves
    img.bits[i + 1] = 80;
    img.bits[i + 2] = (pixel % 120) < 60 ? 10 : 230;
  }
  const auto bmp = EncodeBmp(img.View());
  std::ofstream(dir / "in.bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  const std::string tool = BMP2PNG_PATH;

  int status = 0;
  std::string out = test::RunCommand(
      tool + " " + (dir / "in.bmp").string() + " " + (dir / "out.png").string(), &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("colour PNG, 120x60"), std::string::npos) << out;
  std::string seen;
  EXPECT_TRUE(test::PilDecodesTo(ReadAll(dir / "out.png"), test::RgbOf(img.View()), &seen)) << seen;

  out = test::RunCommand(tool + " --format 1 --fit 40x40 --bmp " + (dir / "small.bmp").string() +
                             " " + (dir / "in.bmp").string() + " " + (dir / "grey.png").string(),
                         &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("grey PNG, 40x20"), std::string::npos) << out;
  const auto small = DecodeBmp(ReadAll(dir / "small.bmp"));
  ASSERT_TRUE(small);
  EXPECT_EQ(small->width, 40);
  EXPECT_EQ(small->height, 20);

  std::ofstream(dir / "bad.bmp") << "BM not really";
  test::RunCommand(tool + " " + (dir / "bad.bmp").string() + " " + (dir / "bad.png").string(),
                   &status);
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(fs::exists(dir / "bad.png"));
  test::RunCommand(tool + " only-one-argument", &status);
  EXPECT_EQ(status, 2);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace ostrel
