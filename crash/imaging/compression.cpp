#include "crash/imaging/compression.h"

#include "crash/base/crc32.h"

#include <zlib.h>

#include <climits>
#include <new>

namespace ostrel {
namespace {

// A raw DEFLATE stream expands at most 1032:1 (a 258-byte match per two bits);
// a blob claiming more than that is lying and must not make us allocate it.
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

int DeflateBuffer(const void* source, std::size_t sourceLength, void* destination,
                  std::size_t destinationLength) {
  if (destination == nullptr || destinationLength == 0) return 0;
  if (source == nullptr && sourceLength != 0) return 0;
  // zlib counts in uInt; one call must see the whole buffer.
  if (sourceLength > UINT_MAX || destinationLength > UINT_MAX) return 0;
  z_stream stream{};
  if (deflateInit2(&stream, 2, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(source));
  stream.avail_in = static_cast<uInt>(sourceLength);
  stream.next_out = static_cast<Bytef*>(destination);
  stream.avail_out = static_cast<uInt>(destinationLength);
  const int status = deflate(&stream, Z_FINISH);
  const uLong written = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END || written > static_cast<uLong>(INT_MAX)) return 0;
  return static_cast<int>(written);
}

int InflateBuffer(const void* source, std::size_t sourceLength, void* destination,
                  std::size_t destinationLength) {
  if (source == nullptr || sourceLength == 0) return 0;
  if (destination == nullptr && destinationLength != 0) return 0;
  if (sourceLength > UINT_MAX || destinationLength > static_cast<std::size_t>(INT_MAX)) return 0;
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return 0;
  Bytef spare = 0;  // zlib refuses a null output pointer even for zero bytes
  stream.next_in = static_cast<Bytef*>(const_cast<void*>(source));
  stream.avail_in = static_cast<uInt>(sourceLength);
  stream.next_out = destination != nullptr ? static_cast<Bytef*>(destination) : &spare;
  stream.avail_out = static_cast<uInt>(destinationLength);
  const int status = inflate(&stream, Z_FINISH);
  const bool exact =
      status == Z_STREAM_END && stream.avail_in == 0 && stream.total_out == destinationLength;
  inflateEnd(&stream);
  return exact ? static_cast<int>(destinationLength) : 0;
}

std::vector<std::uint8_t> UnpackBlob(std::span<const std::uint8_t> blob) {
  if (blob.size() <= 12) return {};
  const std::uint32_t length = ReadLe32(blob.data());
  const std::uint32_t expectedCrc = ReadLe32(blob.data() + 8);
  const std::size_t packedLength = blob.size() - 12;
  if (length > static_cast<std::uint64_t>(packedLength) * kMaxInflateRatio) return {};
  if (length > static_cast<std::uint32_t>(INT_MAX)) return {};
  std::vector<std::uint8_t> data;
  try {
    data.resize(length);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (InflateBuffer(blob.data() + 12, packedLength, data.data(), data.size()) == 0) return {};
  if ((Crc32Update(0xFFFFFFFFu, data.data(), data.size()) ^ 0xFFFFFFFFu) != expectedCrc) return {};
  return data;
}

}  // namespace ostrel
