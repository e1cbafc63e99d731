// Whole-file reading and writing for the host tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::tools {

// The file's bytes in `out`; false when it cannot be opened or read.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& out);

// Replaces the file with `data`; true only when every byte reached it and
// the file closed without an error.
bool WriteFile(const std::string& path, const void* data, std::size_t size);
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace ostrel::tools
