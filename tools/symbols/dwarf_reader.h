// DWARF of a mingw PE file, read through libdw: line rows and functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/symbols/pe_image.h"

namespace ostrel::tools {

struct TLineRow {
  std::uint32_t address = 0;  // virtual address
  std::int32_t line = 0;
  std::string file;  // as the line table names it
  bool endSequence = false;
};

struct TFunction {
  std::string name;  // linkage name when there is one, else the plain name
  bool mangled = false;
  std::uint32_t address = 0;  // virtual address
};

struct TDwarfInfo {
  std::vector<TLineRow> rows;
  std::vector<TFunction> functions;
};

// False, with a message, when the file carries no DWARF libdw can read.
bool ReadDwarf(const TPeImage& file, TDwarfInfo& out, std::string& error);

}  // namespace ostrel::tools
