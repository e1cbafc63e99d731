// Linker map files: image segments, unit segments, publics, line numbers and
// the entry point.
#pragma once

#include <cstdint>
#include <span>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

// Adds what the map text holds to symbols (code base already set); every
// line it does not understand is skipped.
void ParseMapFile(TMapFile& symbols, std::span<const std::uint8_t> text);

}  // namespace ostrel
