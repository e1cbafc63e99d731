#pragma once
// CRC-32 as PNG, ZIP, the symbol container, the stack walk's checksums and
// the report file use it.

#include <cstddef>
#include <cstdint>

namespace ostrel {

// Table-driven CRC-32 (reflected EDB88320), without inversion on entry or exit.
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t length);
// The same over the four little-endian bytes of value.
std::uint32_t Crc32UpdateWord(std::uint32_t crc, std::uint32_t value);

}  // namespace ostrel
