// Borland TD32 debug information ("FB09", "FB0A"): module segments, source
// lines and procedure and data symbols.
#pragma once

#include <cstdint>
#include <span>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

// Adds the TD32 data to symbols (code base set); fails on another signature,
// on "FB09" when fb0aOnly, and on data that yields nothing.
bool ReadTd32(TMapFile& symbols, std::span<const std::uint8_t> data, bool fb0aOnly);

}  // namespace ostrel
