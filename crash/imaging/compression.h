// Buffer compression through zlib (raw DEFLATE, level 2), the wrapper format
// of compressed blobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

// Raw DEFLATE of the whole source; bytes written, or 0 on failure or when the
// destination is too small (nothing is written past it).
int DeflateBuffer(const void* source, std::size_t sourceLength, void* destination,
                  std::size_t destinationLength);

// Raw inflate; destinationLength when exactly sourceLength bytes were consumed
// and exactly destinationLength produced, otherwise 0.
int InflateBuffer(const void* source, std::size_t sourceLength, void* destination,
                  std::size_t destinationLength);

// Data of a wrapper blob (length, unused, CRC-32, raw DEFLATE), or empty.
std::vector<std::uint8_t> UnpackBlob(std::span<const std::uint8_t> blob);

}  // namespace ostrel
