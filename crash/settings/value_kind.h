#pragma once

#include <cstdint>

#include "ostrel/settings_lists.h"

namespace ostrel {

// Stored as a byte in property records; the values are part of the format.
enum class ValueKind : std::uint8_t { String = 0, Integer = 1, Boolean = 2 };

}  // namespace ostrel
