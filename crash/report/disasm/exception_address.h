// The correction an exception's address gets before it is reported.
#pragma once

#include <cstdint>

#include "crash/report/disasm/function_parser.h"
#include "crash/report/disasm/memory_reader.h"

namespace ostrel {

// Some raise paths hand in a return address minus 4, which points into the
// call's displacement. When the address is neither the start of one of the
// instructions of the function at functionStart nor the return address of
// one of its calls, but the address 4 bytes on is, the address 4 bytes on is
// returned; otherwise the address itself.
std::uint32_t CorrectExceptionAddress(const IMemoryReader& reader, std::uint32_t address,
                                      std::uint32_t functionStart,
                                      const TRuntimeHelpers& helpers = {});

}  // namespace ostrel
