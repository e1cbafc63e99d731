// Answers about one address from a module's symbols, in the forms the stack
// walk and the disassembler print.
#pragma once

#include <cstdint>
#include <string>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

struct TAddressInfo {
  std::u16string moduleFileName;
  std::u16string unit;
  std::u16string functionName;
  std::uint32_t functionStart = 0;
  std::int32_t line = 0;  // never negative
  bool found = false;
};

// Unit, function and line of address in valid symbols.
TAddressInfo DescribeInSymbols(const TMapFile& symbols, std::uint32_t address);

// "Unit.Function" of the public starting exactly at address; placeholder
// names get " (module)" appended. Empty when no public starts there.
std::u16string FunctionNameInSymbols(const TMapFile& symbols, std::uint32_t address);

// The disassembler's line ranges: the previous answer holds while the address
// stays inside it.
class TLineRangeCache {
 public:
  void Query(const TMapFile* symbols, std::uint32_t address, std::int32_t& line,
             std::uint32_t& rangeStart, std::uint32_t& rangeEnd);

 private:
  std::int32_t line_ = 0;
  std::uint32_t start_ = 0;
  std::uint32_t end_ = 0;
};

}  // namespace ostrel
