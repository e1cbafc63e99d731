// Screenshot encoding speed and size: our colour and grey PNG beside libpng
// writing the same palette image (level 2, no filters) and zlib level 2 alone
// on the same index data.
//   imaging_bench [benchmark flags]          pictures from $IMAGING_BENCH_DATA
//   imaging_bench --once KIND PICTURE        one run for callgrind; KIND is
//                                            colour, grey, libpng or zlib
#include "crash/imaging/bmp_codec.h"
#include "crash/imaging/compression.h"
#include "crash/imaging/png_encoder.h"
#include "crash/imaging/wu_quantizer.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <valgrind/callgrind.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using ostrel::OwnedPixels;

// A photo-like busy frame: soft gradients, shapes and sensor-like noise, so
// that nearly every colour cell is in use.
OwnedPixels BusyFrame(int w, int h) {
  OwnedPixels img(w, h);
  std::mt19937 rng(1234);
  std::normal_distribution<double> noise(0.0, 6.0);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = img.View().RowFromTop(y);
    for (int x = 0; x < w; ++x, p += 4) {
      const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
      double r = 140 + 90 * std::sin(6.0 * fx + 2.0 * fy), g = 110 + 80 * std::cos(4.0 * fy - fx),
             b = 120 + 100 * std::sin(3.0 * (fx + fy));
      const double dx = fx - 0.6, dy = fy - 0.4;
      if (dx * dx + dy * dy < 0.04) r = 230 - 200 * (dx * dx + dy * dy) * 20, g *= 0.6;
      auto c = [&](double v) {
        return static_cast<std::uint8_t>(std::clamp(v + noise(rng), 0.0, 255.0));
      };
      p[0] = c(b);
      p[1] = c(g);
      p[2] = c(r);
    }
  }
  return img;
}

std::optional<OwnedPixels> LoadBmp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  return ostrel::DecodeBmp(bytes);
}

// The palette image the colour encoder would write: palette and filtered lines.
struct PaletteImage {
  ostrel::Palette256 palette;
  std::vector<std::uint8_t> lines;
};

PaletteImage MakePaletteImage(const OwnedPixels& img) {
  OwnedPixels& pixels = const_cast<OwnedPixels&>(img);
  PaletteImage out;
  out.palette = ostrel::QuantizeWu(pixels.View());
  ostrel::MapToPalette(pixels.View(), out.palette, out.lines);
  return out;
}

std::vector<std::uint8_t> LibpngPalette(const PaletteImage& image, int w, int h) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color colours[256];
  for (int k = 0; k < 256; ++k) {
    colours[k] = {image.palette.rgb[k * 3], image.palette.rgb[k * 3 + 1],
                  image.palette.rgb[k * 3 + 2]};
  }
  png_set_PLTE(png, info, colours, 256);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 2);
  png_set_compression_mem_level(png, 8);
  png_set_compression_window_bits(png, 15);
  png_set_compression_strategy(png, 0);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    png_write_row(png, image.lines.data() + static_cast<std::size_t>(y) * (w + 1) + 1);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::size_t ZlibLevel2(const std::vector<std::uint8_t>& lines) {
  std::vector<std::uint8_t> packed(lines.size() * 11 / 10 + 12);
  return static_cast<std::size_t>(
      ostrel::DeflateBuffer(lines.data(), lines.size(), packed.data(), packed.size()));
}

struct Picture {
  std::string name;
  OwnedPixels pixels;
};

void Register(std::vector<Picture>& pictures) {
  for (Picture& pic : pictures) {
    OwnedPixels* img = &pic.pixels;
    const int w = img->width, h = img->height;
    auto ours = std::make_shared<std::size_t>(0);
    benchmark::RegisterBenchmark(("colour_png/" + pic.name).c_str(),
                                 [img, ours](benchmark::State& s) {
                                   std::size_t size = 0;
                                   for (auto _ : s) {
                                     const auto png = ostrel::ColourPngBytes(img->View());
                                     size = png.size();
                                     benchmark::DoNotOptimize(png.data());
                                   }
                                   *ours = size;
                                   s.counters["bytes"] = static_cast<double>(size);
                                 });
    benchmark::RegisterBenchmark(("grey_png/" + pic.name).c_str(), [img](benchmark::State& s) {
      OwnedPixels copy = *img;  // grey conversion is in place
      std::size_t size = 0;
      for (auto _ : s) {
        ostrel::BitmapPixels view = copy.View();
        const auto png = ostrel::GreyPngBytes(view);
        size = png.size();
        benchmark::DoNotOptimize(png.data());
      }
      s.counters["bytes"] = static_cast<double>(size);
    });
    auto image = std::make_shared<PaletteImage>(MakePaletteImage(*img));
    benchmark::RegisterBenchmark(
        ("libpng_palette_l2/" + pic.name).c_str(), [image, w, h, ours](benchmark::State& s) {
          std::size_t size = 0;
          for (auto _ : s) size = LibpngPalette(*image, w, h).size();
          s.counters["bytes"] = static_cast<double>(size);
          if (*ours != 0) {
            s.counters["ours_vs_libpng_%"] = 100.0 * (static_cast<double>(*ours) - size) / size;
          }
        });
    benchmark::RegisterBenchmark(("zlib_l2_indices/" + pic.name).c_str(),
                                 [image](benchmark::State& s) {
                                   std::size_t size = 0;
                                   for (auto _ : s) size = ZlibLevel2(image->lines);
                                   s.counters["bytes"] = static_cast<double>(size);
                                 });
    benchmark::RegisterBenchmark(("quantise_and_map/" + pic.name).c_str(),
                                 [img](benchmark::State& s) {
                                   for (auto _ : s) {
                                     PaletteImage p = MakePaletteImage(*img);
                                     benchmark::DoNotOptimize(p.lines.data());
                                   }
                                 });
  }
}

// One encoding between callgrind's start and stop marks.
int Once(const std::string& kind, const std::string& path) {
  std::optional<OwnedPixels> img = path == "busy-1920x1080" ? BusyFrame(1920, 1080) : LoadBmp(path);
  if (!img) {
    std::fprintf(stderr, "imaging_bench: cannot read %s\n", path.c_str());
    return 1;
  }
  std::size_t size = 0;
  PaletteImage prepared;
  if (kind == "libpng" || kind == "zlib") prepared = MakePaletteImage(*img);
  CALLGRIND_START_INSTRUMENTATION;
  if (kind == "colour") {
    size = ostrel::ColourPngBytes(img->View()).size();
  } else if (kind == "grey") {
    ostrel::BitmapPixels view = img->View();
    size = ostrel::GreyPngBytes(view).size();
  } else if (kind == "libpng") {
    size = LibpngPalette(prepared, img->width, img->height).size();
  } else if (kind == "zlib") {
    size = ZlibLevel2(prepared.lines);
  }
  CALLGRIND_STOP_INSTRUMENTATION;
  std::printf("%s %s: %zu bytes\n", kind.c_str(), path.c_str(), size);
  return size != 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--once") == 0) return Once(argv[2], argv[3]);
  std::vector<Picture> pictures;
  const char* data = std::getenv("IMAGING_BENCH_DATA");
  for (const char* name : {"desktop-1920x1080", "desktop-3840x1080"}) {
    if (data == nullptr) break;
    std::optional<OwnedPixels> img = LoadBmp(std::string(data) + "/" + name + ".bmp");
    if (img) {
      pictures.push_back({name, std::move(*img)});
    } else {
      std::fprintf(stderr, "imaging_bench: no %s.bmp in %s\n", name, data);
    }
  }
  pictures.push_back({"busy-1920x1080", BusyFrame(1920, 1080)});
  Register(pictures);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
