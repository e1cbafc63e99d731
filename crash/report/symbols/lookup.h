// Questions asked of a module's symbols; all bisections over sorted arrays.
#pragma once

#include <cstdint>
#include <string_view>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

TMfSegment SegmentAt(const TMapFile& symbols, bool code, std::uint32_t address);

// The public containing address (the last one up to the code top), or invalid.
TMfPublic PublicAt(const TMapFile& symbols, std::uint32_t address);

struct TLineAnswer {
  std::int32_t line = 0;  // 0: none; -1: the unit has lines the data leaves out
  std::uint32_t rangeEnd = 0;
};
TLineAnswer LineAt(const TMapFile& symbols, std::uint32_t address);

// Address of the named public in the unit, or 0. A unit without "." is also
// tried with the source extensions appended.
std::uint32_t PublicByName(const TMapFile& symbols, bool code, std::u16string_view unit, bool exact,
                           std::u16string_view name);

// Address of the first public of that name (without regard to case) in any
// unit, or 0.
std::uint32_t PublicByNameInAnyUnit(const TMapFile& symbols, bool code, std::u16string_view name);

}  // namespace ostrel
