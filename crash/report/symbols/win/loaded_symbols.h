// Symbol information of loaded modules: the process-wide cache and the
// questions the stack walk, the report and the disassembler ask.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "crash/report/disasm/disasm_symbols.h"
#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/map_file.h"

namespace ostrel {

// Symbols of the module holding address (0: the program's own module). Valid
// objects are cached by module file, file time and image base; an invalid
// object is returned when nothing is found. Callers serialise.
std::shared_ptr<const TMapFile> SymbolsForModule(std::uintptr_t address);

// Drops every cached object (shutdown).
void ClearSymbolCache();

// Module, unit, function and line of address; 0 means the caller's own
// return address - 1.
TAddressInfo DescribeAddress(std::uintptr_t address);

std::u16string FunctionNameAt(std::uint32_t address);
void LineRangeAt(std::uint32_t address, int& line, std::uint32_t& rangeStart,
                 std::uint32_t& rangeEnd);

// Name of the export of module whose address is address ("#" + ordinal when it
// has none); empty when none. With demangle, a unit is written in front.
std::u16string ExportNameAt(std::uintptr_t module, std::uint32_t address, bool demangle);

// The callbacks the disassembler names code with.
TDisasmSymbols SymbolCallbacksForDisassembler();

}  // namespace ostrel
