#include "tests/unit/imaging/png_test_support.h"

#include "crash/imaging/compression.h"
#include "tests/unit/imaging/run_command.h"
#include "crash/base/crc32.h"

#include <png.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace ostrel::test {

std::vector<PngChunk> SplitPng(const std::vector<std::uint8_t>& png) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<PngChunk> chunks;
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return chunks;
  std::size_t at = 8;
  while (at + 12 <= png.size()) {
    const std::uint32_t length = png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (at + 12 + length > png.size()) break;
    PngChunk c;
    c.type.assign(png.begin() + at + 4, png.begin() + at + 8);
    c.data.assign(png.begin() + at + 8, png.begin() + at + 8 + length);
    const std::uint8_t* crcAt = &png[at + 8 + length];
    const std::uint32_t crc = crcAt[0] << 24 | crcAt[1] << 16 | crcAt[2] << 8 | crcAt[3];
    c.crcOk = (Crc32Update(0xFFFFFFFF, &png[at + 4], length + 4) ^ 0xFFFFFFFF) == crc;
    chunks.push_back(std::move(c));
    at += 12 + length;
  }
  return chunks;
}

std::vector<std::uint8_t> DecodeWithLibpng(const std::vector<std::uint8_t>& png, int* width,
                                           int* height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return rgb;
}

std::vector<std::uint8_t> RgbOf(const BitmapPixels& pixels) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(pixels.width) * pixels.height * 3);
  for (int y = 0; y < pixels.height; ++y) {
    const std::uint8_t* p = pixels.RowFromTop(y);
    for (int x = 0; x < pixels.width; ++x, p += 4) {
      rgb.push_back(p[2]);
      rgb.push_back(p[1]);
      rgb.push_back(p[0]);
    }
  }
  return rgb;
}

bool PilDecodesTo(const std::vector<std::uint8_t>& png, const std::vector<std::uint8_t>& rgb,
                  std::string* message) {
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("ostrel-pil-" + std::to_string(getpid()));
  std::ofstream(base.string() + ".png", std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  std::ofstream(base.string() + ".rgb", std::ios::binary)
      .write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  const std::string script =
      "import sys\nfrom PIL import Image\n"
      "im=Image.open(sys.argv[1]); im.load()\n"
      "got=im.convert('RGB').tobytes(); want=open(sys.argv[2],'rb').read()\n"
      "print(im.format, im.mode, im.size, got==want)\n";
  std::ofstream(base.string() + ".py") << script;
  int status = 0;
  *message = RunCommand(std::string(PythonWithPil()) + " " + base.string() + ".py " +
                            base.string() + ".png " + base.string() + ".rgb",
                        &status);
  for (const char* ext : {".png", ".rgb", ".py"}) fs::remove(base.string() + ext);
  return status == 0 && message->find("True") != std::string::npos;
}

}  // namespace ostrel::test
