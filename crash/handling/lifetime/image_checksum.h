#pragma once
// The integrity check behind CheckFileCrc. A module file carries the
// operating system's own image checksum in its optional header (the field
// imagehlp's CheckSumMappedFile computes); the build stamps it, the
// reporter recomputes it from the file at start-up. A file whose field is 0
// was never stamped and is not judged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ostrel::integrity {

// File offset of the checksum field; none when the bytes are no PE image.
std::optional<std::size_t> ChecksumFieldOffset(std::span<const std::uint8_t> file);

// The image checksum of the file, its own checksum field counted as 0.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> file, std::size_t fieldOffset);

enum class Verdict { Sound, Corrupt, Unstamped, NotAnImage };
Verdict CheckImage(std::span<const std::uint8_t> file);

// Writes the checksum into the field; false when the bytes are no PE image.
bool StampImage(std::span<std::uint8_t> file);

}  // namespace ostrel::integrity
