#include "crash/imaging/bmp_codec.h"
#include "crash/imaging/win/file_bytes.h"
#include "crash/imaging/win/nv_bitmap.h"

#include <cstring>

namespace ostrel {

NVBitmapPtr LoadBmpFile(const wchar_t* path) {
  // The file may have been edited by another program: its header is checked
  // against its real size before anything is allocated from it.
  constexpr std::uint64_t kMaxFile = 14 + 124 + 1024 + kMaxBmpPixels * 4 + 65536;
  const std::optional<std::vector<std::uint8_t>> bytes = ReadFileBytes(path, kMaxFile);
  if (!bytes) return {};
  std::optional<OwnedPixels> picture;
  try {
    picture = DecodeBmp(*bytes);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (!picture) return {};
  NVBitmapPtr bitmap = CreateNVBitmap(picture->width, picture->height);
  if (!bitmap) return {};
  std::memcpy(NVBitmapBits(*bitmap), picture->bits.data(), picture->bits.size());
  return bitmap;
}

}  // namespace ostrel
