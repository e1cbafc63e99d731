// The MinDebugInfo value of a module's settings stream, which names the
// ".ostrel" file that belongs to minimal symbol data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

// The first MinDebugInfo property when it is a text of exactly 31 characters.
std::optional<std::string> FindMinDebugInfo(std::span<const std::uint8_t> settingsStream);

// The stream with MinDebugInfo set to value (replacing the first occurrence or
// added before the end of the list); empty when the stream is not well-formed.
std::vector<std::uint8_t> SetMinDebugInfo(std::span<const std::uint8_t> settingsStream,
                                          const std::string& value);

}  // namespace ostrel
