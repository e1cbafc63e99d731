// Program database files through the system's debug-help library.
#pragma once

#include <string>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

// Lines, units and functions of the PDB at path; false when the library is
// missing beside the reporter or the file gives nothing.
bool ReadPdbThroughDbgHelp(TMapFile& symbols, const std::u16string& path);

}  // namespace ostrel
