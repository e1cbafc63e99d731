// A loaded module's image, code and data ranges, read from its headers through the reader.
#pragma once

#include <cstdint>

#include "crash/report/disasm/memory_reader.h"

namespace ostrel {

struct TModuleRanges {
  std::uint32_t base = 0;
  std::uint32_t size = 0;  // SizeOfImage
  std::uint32_t codeBegin = 0, codeEnd = 0;
  std::uint32_t dataBegin = 0, dataEnd = 0;
};

// The module whose image holds address; false when the allocation has no image headers.
bool ModuleRangesAt(const IMemoryReader& reader, std::uint32_t address, TModuleRanges& out);

// Base and SizeOfImage of the module whose image holds address: the same answer as
// ModuleRangesAt, for callers that need no more than these two (reads fewer header fields).
bool ModuleImageAt(const IMemoryReader& reader, std::uint32_t address, std::uint32_t& base,
                   std::uint32_t& size);

}  // namespace ostrel
