// The zoo's image editor, registered for the "edit" verb of bitmaps by the
// program that needs it: paints the whole picture red and saves it, as a
// user editing the screenshot would.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return 1;
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(in);
  if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return 1;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  std::memcpy(&file, bytes.data(), sizeof file);
  std::memcpy(&info, bytes.data() + sizeof file, sizeof info);
  if (info.biBitCount != 32 && info.biBitCount != 24) return 1;
  const int bytesPerPixel = info.biBitCount / 8;
  const int height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
  const std::size_t stride = (static_cast<std::size_t>(info.biWidth) * bytesPerPixel + 3) & ~3u;
  if (file.bfOffBits + stride * height > bytes.size()) return 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < info.biWidth; ++x) {
      std::uint8_t* p = bytes.data() + file.bfOffBits + y * stride + x * bytesPerPixel;
      p[0] = 0;
      p[1] = 0;
      p[2] = 255;
    }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return 0;
}
