#include "crash/imaging/win/nv_bitmap.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace ostrel {
namespace {

std::wstring TempFile(const wchar_t* name) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  return std::wstring(base) + std::to_wstring(GetCurrentProcessId()) + name;
}

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE f =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD n = 0;
  ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
}

// A colourful test picture: gradients plus a few solid blocks.
NVBitmapPtr Picture(int w, int h) {
  NVBitmapPtr bitmap = CreateNVBitmap(w, h);
  if (!bitmap) return bitmap;
  std::uint8_t* p = NVBitmapBits(*bitmap);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x, p += 4) {
      p[0] = static_cast<std::uint8_t>(x * 255 / w);
      p[1] = static_cast<std::uint8_t>(y * 255 / h);
      p[2] = static_cast<std::uint8_t>((x / 8 + y / 8) % 2 ? 200 : 30);
    }
  }
  return bitmap;
}

std::uint32_t PixelAt(INVBitmap& b, int x, int yFromTop) {
  const std::uint8_t* p = NVBitmapBits(b) + ((b.Height() - 1 - yFromTop) * b.Width() + x) * 4;
  return p[0] | p[1] << 8 | p[2] << 16;
}

TEST(NVBitmap, QueriesAndCountsReferences) {
  NVBitmapPtr b = CreateNVBitmap(3, 2);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(b->Height(), 2);
  auto again = b.As<INVBitmap>(kIidNVBitmap);
  EXPECT_EQ(again.Get(), b.Get());
  void* out = reinterpret_cast<void*>(1);
  const Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(b->QueryInterface(other, &out), kNoInterface);
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(CreateNVBitmap(0, 5));
  EXPECT_FALSE(CreateNVBitmap(5, -1));
}

TEST(NVBitmap, BmpFileRoundTripsAndDrawsWithBlockCopy) {
  NVBitmapPtr b = Picture(37, 21);
  ASSERT_TRUE(b);
  const auto bytes = b->ToBmpBytes();
  ASSERT_EQ(bytes.size(), 54u + 37 * 21 * 4);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[28], 32);
  EXPECT_EQ(std::memcmp(bytes.data() + 54, NVBitmapBits(*b), 37 * 21 * 4), 0);

  const std::wstring path = TempFile(L"-round.bmp");
  ASSERT_TRUE(b->WriteBmpFile(path.c_str()));
  EXPECT_EQ(ReadAll(path), bytes);
  NVBitmapPtr loaded = LoadBmpFile(path.c_str());
  ASSERT_TRUE(loaded);
  ASSERT_EQ(loaded->Width(), 37);
  ASSERT_EQ(loaded->Height(), 21);
  EXPECT_EQ(std::memcmp(NVBitmapBits(*loaded), NVBitmapBits(*b), 37 * 21 * 4), 0);

  NVBitmapPtr canvas = CreateNVBitmap(50, 30);
  ASSERT_TRUE(b->DrawTo(NVBitmapDc(*canvas), 5, 4));
  EXPECT_EQ(PixelAt(*canvas, 5, 4), PixelAt(*b, 0, 0));
  EXPECT_EQ(PixelAt(*canvas, 5 + 36, 4 + 20), PixelAt(*b, 36, 20));
  EXPECT_EQ(PixelAt(*canvas, 4, 4), 0u);

  // A header that claims more rows than the file holds.
  auto lying = bytes;
  lying[22] = 0xFF;
  WriteAll(path, lying);
  EXPECT_FALSE(LoadBmpFile(path.c_str()));
  WriteAll(path, {'B', 'M', 0, 0});
  EXPECT_FALSE(LoadBmpFile(path.c_str()));
  DeleteFileW(path.c_str());
  EXPECT_FALSE(LoadBmpFile(path.c_str()));
}

TEST(NVBitmap, PngFilesAndGreyConversion) {
  NVBitmapPtr b = Picture(64, 48);
  const std::wstring path = TempFile(L"-shot.png");
  ASSERT_TRUE(b->WritePngFile(path.c_str(), 0));
  const auto file = ReadAll(path);
  ASSERT_GT(file.size(), 8u);
  EXPECT_EQ(file[24], 8);  // colour, depth 8
  EXPECT_EQ(file, b->ToPngBytes(0));
  ASSERT_TRUE(b->WritePngFile(path.c_str(), 1));
  EXPECT_EQ(ReadAll(path)[24], 4);  // grey, depth 4
  const std::uint8_t* p = NVBitmapBits(*b);
  for (int i = 0; i < 64 * 48; ++i, p += 4) {
    ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << i;
  }
  DeleteFileW(path.c_str());
  const std::wstring unwritable = TempFile(L"-no-such-folder\\shot.png");
  EXPECT_FALSE(b->WritePngFile(unwritable.c_str(), 0));
  EXPECT_FALSE(b->WriteBmpFile(unwritable.c_str()));
}

TEST(NVBitmap, ScaledToFitsTheBox) {
  NVBitmapPtr b = Picture(200, 100);
  NVBitmapPtr same = b->ScaledTo(100, 50);
  ASSERT_TRUE(same);
  EXPECT_EQ(same->Width(), 100);
  EXPECT_EQ(same->Height(), 50);
  NVBitmapPtr tall = b->ScaledTo(80, 80);
  ASSERT_TRUE(tall);
  EXPECT_EQ(tall->Width(), 80);
  EXPECT_EQ(tall->Height(), 40);
  EXPECT_FALSE(b->ScaledTo(0, 10));
  // The fourth byte stays 0.
  const std::uint8_t* p = NVBitmapBits(*same);
  for (int i = 0; i < 100 * 50; ++i) ASSERT_EQ(p[i * 4 + 3], 0) << i;
}

}  // namespace
}  // namespace ostrel
