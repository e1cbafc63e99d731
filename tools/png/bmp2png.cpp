// Converts a BMP file into the PNG that the screenshot encoder would send, so
// the encoder can be checked from outside.
//   bmp2png [--format N] [--fit WxH] [--bmp out.bmp] input.bmp output.png
#include "crash/imaging/bmp_codec.h"
#include "crash/imaging/mitchell_scaler.h"
#include "crash/imaging/png_encoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int Usage() {
  std::fputs(
      "usage: bmp2png [--format N] [--fit WIDTHxHEIGHT] [--bmp scaled.bmp] input.bmp output.png\n"
      "  --format N  0 colour, 1 grey, 2..5 colour unless grey is shorter and colour is\n"
      "              above 51200, 102400, 204800 or 307200 bytes (default 0)\n"
      "  --fit WxH   first scale the picture to fit the box (Mitchell-Netravali)\n"
      "  --bmp FILE  also write the (scaled) picture as a 32-bit BMP file\n",
      stderr);
  return 2;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  int format = 0;
  int fitWidth = 0, fitHeight = 0;
  std::string bmpOut;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--format" && i + 1 < argc) {
      format = std::atoi(argv[++i]);
    } else if (arg == "--fit" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &fitWidth, &fitHeight) != 2) return Usage();
    } else if (arg == "--bmp" && i + 1 < argc) {
      bmpOut = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) return Usage();

  std::ifstream in(files[0], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bmp2png: cannot read %s\n", files[0].c_str());
    return 1;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::optional<ostrel::OwnedPixels> picture = ostrel::DecodeBmp(bytes);
  if (!picture) {
    std::fprintf(stderr, "bmp2png: %s is not a BMP file this encoder reads\n", files[0].c_str());
    return 1;
  }
  if (fitWidth != 0 || fitHeight != 0) {
    const auto size = ostrel::FitSize(picture->width, picture->height, fitWidth, fitHeight);
    if (!size) {
      std::fprintf(stderr, "bmp2png: cannot fit %dx%d into %dx%d\n", picture->width,
                   picture->height, fitWidth, fitHeight);
      return 1;
    }
    ostrel::OwnedPixels scaled(size->width, size->height);
    ostrel::ResampleMitchell(picture->View(), scaled.View());
    *picture = std::move(scaled);
  }
  if (!bmpOut.empty() && !WriteFile(bmpOut, ostrel::EncodeBmp(picture->View()))) {
    std::fprintf(stderr, "bmp2png: cannot write %s\n", bmpOut.c_str());
    return 1;
  }
  ostrel::BitmapPixels view = picture->View();
  const std::vector<std::uint8_t> png = ostrel::PngBytesForFormat(view, format);
  if (png.empty()) {
    std::fprintf(stderr, "bmp2png: the encoder gave no image\n");
    return 1;
  }
  if (!WriteFile(files[1], png)) {
    std::fprintf(stderr, "bmp2png: cannot write %s\n", files[1].c_str());
    return 1;
  }
  std::printf("%s: %s PNG, %dx%d, %zu bytes\n", files[1].c_str(), png[24] == 8 ? "colour" : "grey",
              picture->width, picture->height, png.size());
  return 0;
}
