#include "crash/imaging/win/nv_bitmap.h"

#include "crash/base/ref_counted.h"
#include "crash/imaging/bmp_codec.h"
#include "crash/imaging/mitchell_scaler.h"
#include "crash/imaging/png_encoder.h"
#include "crash/imaging/win/file_bytes.h"

#include <new>

namespace ostrel {
namespace {

class TINVBitmap final : public INVBitmap {
 public:
  // Takes over a DIB section already selected into its memory context.
  TINVBitmap(const BITMAPINFOHEADER& header, HBITMAP bitmap, void* bits, HDC dc, HGDIOBJ previous)
      : header_(header),
        bitmap_(bitmap),
        bits_(static_cast<std::uint8_t*>(bits)),
        dc_(dc),
        previous_(previous) {}

  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override {
    if (out == nullptr) return kPointer;
    if (SameGuid(iid, kIidNVBitmap) || SameGuid(iid, kIidUnknown)) {
      *out = static_cast<INVBitmap*>(this);
      AddRef();
      return kOk;
    }
    *out = nullptr;
    return kNoInterface;
  }
  std::uint32_t OSTREL_CALL AddRef() override { return refs_.Increment(); }
  std::uint32_t OSTREL_CALL Release() override {
    const std::uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
  }

  int OSTREL_CALL Width() override { return header_.biWidth; }
  int OSTREL_CALL Height() override { return header_.biHeight; }

  bool OSTREL_CALL DrawTo(HDC dc, int x, int y) override {
    return BitBlt(dc, x, y, Width(), Height(), dc_, 0, 0, SRCCOPY) != FALSE;
  }

  std::vector<std::uint8_t> OSTREL_CALL ToBmpBytes() override {
    try {
      return EncodeBmp(Pixels());
    } catch (const std::bad_alloc&) {
      return {};
    }
  }

  std::vector<std::uint8_t> OSTREL_CALL ToPngBytes(int format) override {
    BitmapPixels pixels = Pixels();
    return PngBytesForFormat(pixels, format);
  }

  bool OSTREL_CALL WriteBmpFile(const wchar_t* path) override {
    const std::vector<std::uint8_t> bytes = ToBmpBytes();
    return !bytes.empty() && WriteBytesToFile(path, bytes);
  }

  bool OSTREL_CALL WritePngFile(const wchar_t* path, int format) override {
    const std::vector<std::uint8_t> bytes = ToPngBytes(format);
    if (bytes.empty()) return false;  // no file is touched
    return WriteBytesToFile(path, bytes);
  }

  NVBitmapPtr OSTREL_CALL ScaledTo(int maxWidth, int maxHeight) override {
    const std::optional<PictureSize> size = FitSize(Width(), Height(), maxWidth, maxHeight);
    if (!size) return {};
    NVBitmapPtr scaled = CreateNVBitmap(size->width, size->height);
    if (!scaled) return {};
    const BitmapPixels target{size->width, size->height, NVBitmapBits(*scaled)};
    try {
      ResampleMitchell(Pixels(), target);
    } catch (const std::bad_alloc&) {
      return {};
    }
    return scaled;
  }

  HDC Dc() const { return dc_; }

  BitmapPixels Pixels() {
    GdiFlush();  // drawing into the section may still be queued
    return {header_.biWidth, header_.biHeight, bits_};
  }

 private:
  ~TINVBitmap() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }

  RefCount refs_;
  BITMAPINFOHEADER header_;
  HBITMAP bitmap_;
  std::uint8_t* bits_;
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace

NVBitmapPtr CreateNVBitmap(int width, int height) {
  if (width <= 0 || height <= 0) return {};
  if (static_cast<std::uint64_t>(width) * height * 4 > 0x7FFFFFFF) return {};
  BITMAPINFO info{};
  BITMAPINFOHEADER& h = info.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(width) * height * 4;
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return {};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    DeleteDC(dc);
    return {};
  }
  HGDIOBJ previous = SelectObject(dc, bitmap);
  auto* object = new (std::nothrow) TINVBitmap(h, bitmap, bits, dc, previous);
  if (object == nullptr) {
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return {};
  }
  return NVBitmapPtr(object);
}

std::uint8_t* NVBitmapBits(INVBitmap& bitmap) {
  return static_cast<TINVBitmap&>(bitmap).Pixels().bits;
}

HDC NVBitmapDc(INVBitmap& bitmap) { return static_cast<TINVBitmap&>(bitmap).Dc(); }

}  // namespace ostrel
