// The disassembly listing of a function for the bug report.
#pragma once

#include <cstdint>
#include <string>

#include "crash/report/disasm/function_parser.h"
#include "crash/report/disasm/memory_reader.h"
#include "crash/report/disasm/disasm_symbols.h"

namespace ostrel {

struct TListingOptions {
  bool formatDelimiters = true;  // FormatDisAsm
  int lineLimit = 0;             // LimitDisAsm; 0 = no limit
};

// Lines end in "\r\n" (none after the last). Empty text when the function is invalid.
std::string DisassembleFunction(const IMemoryReader& reader, std::uint32_t entryPoint,
                                std::uint32_t exceptionAddress, const TListingOptions& options,
                                const TDisasmSymbols* symbols, const TRuntimeHelpers& helpers,
                                TFunctionInfo& info);

}  // namespace ostrel
