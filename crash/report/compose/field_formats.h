#pragma once
// Texts of header fields: up times and byte sizes.
#include <cstdint>
#include <string>

namespace ostrel {

// "2 days 5 hours", "1 hour 3 minutes", "42 seconds"; empty for 0 (and for
// negative values).
std::u16string FormatUpTime(std::int64_t seconds);

// "512 Bytes", "1,50 KB", "3,99 MB", "12,34 GB": truncated to two
// decimals, with the given decimal separator.
std::u16string FormatByteSize(std::uint64_t bytes, char16_t separator);

}  // namespace ostrel
