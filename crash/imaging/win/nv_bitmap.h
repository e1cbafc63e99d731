// The screenshot bitmap: a 32-bit DIB section selected into its own memory
// device context, with BMP and PNG encoders, and the routines that make one.
#pragma once

#include "ostrel/com_ptr.h"
#include "ostrel/unknown.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace ostrel {

// {6F1C2B8E-93A4-4D5B-8E21-7A0C4B9D3F52}
constexpr Guid kIidNVBitmap = {
    0x6F1C2B8E, 0x93A4, 0x4D5B, {0x8E, 0x21, 0x7A, 0x0C, 0x4B, 0x9D, 0x3F, 0x52}};

class INVBitmap : public IUnknownBase {
 public:
  virtual int OSTREL_CALL Width() = 0;
  virtual int OSTREL_CALL Height() = 0;
  // Plain source copy of the whole bitmap to dc at x, y.
  virtual bool OSTREL_CALL DrawTo(HDC dc, int x, int y) = 0;
  virtual std::vector<std::uint8_t> OSTREL_CALL ToBmpBytes() = 0;
  // Empty when no image could be made. Formats that produce the grey image
  // leave the bitmap itself grey.
  virtual std::vector<std::uint8_t> OSTREL_CALL ToPngBytes(int format) = 0;
  virtual bool OSTREL_CALL WriteBmpFile(const wchar_t* path) = 0;
  virtual bool OSTREL_CALL WritePngFile(const wchar_t* path, int format) = 0;
  // A new bitmap scaled to fit the box, or none.
  virtual ComPtr<INVBitmap> OSTREL_CALL ScaledTo(int maxWidth, int maxHeight) = 0;

 protected:
  ~INVBitmap() = default;
};

using NVBitmapPtr = ComPtr<INVBitmap>;

// A new zero-filled bitmap of the given size, or none.
NVBitmapPtr CreateNVBitmap(int width, int height);

// For bitmaps made by the functions here only: the pixel memory (bottom-up,
// blue, green, red, unused; GDI drawing flushed first) and the memory context.
std::uint8_t* NVBitmapBits(INVBitmap& bitmap);
HDC NVBitmapDc(INVBitmap& bitmap);

// The whole virtual screen, or only this program's visible windows, with the cursor.
NVBitmapPtr CaptureScreen(bool appOnly);

NVBitmapPtr CaptureDc(HDC sourceDc, int originX, int originY, int width, int height, bool appOnly,
                      bool withCursor);

// A BMP file (uncompressed, 1 to 32 bits per pixel) as a new 32-bit bitmap, or none.
NVBitmapPtr LoadBmpFile(const wchar_t* path);

}  // namespace ostrel
