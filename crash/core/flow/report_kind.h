#pragma once

#include <cstdint>

namespace ostrel {

// The exception type a report carries; the values travel in records.
enum class ReportKind : std::uint8_t { Exception = 0, Frozen = 1, Hidden = 2 };

}  // namespace ostrel
