#pragma once

#include <cstdint>

namespace ostrel {

// Stored as a byte in property records; the values are part of the format.
enum class ValueKind : std::uint8_t { String = 0, Integer = 1, Boolean = 2 };

// A loaded module's handle (its base address); 0 stands for the executable.
using ModuleHandle = std::uintptr_t;

}  // namespace ostrel
