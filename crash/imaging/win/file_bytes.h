// Whole-file reads and writes for the imaging code.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace ostrel {

// Creates the file (not shared, replacing an existing one) and writes all
// bytes at once; on a failed or short write the file is deleted.
bool WriteBytesToFile(const wchar_t* path, const std::vector<std::uint8_t>& bytes);

// The whole file, or nothing when it cannot be opened or is larger than maxBytes.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const wchar_t* path, std::uint64_t maxBytes);

}  // namespace ostrel
