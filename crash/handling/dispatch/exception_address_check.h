#pragma once
// The exception's address corrected by its function's code (see
// crash/report/disasm/exception_address.h).

#include <cstdint>

namespace ostrel::rt {

// Nothing for an EAbort.
std::uintptr_t CheckExceptionAddress(std::uintptr_t address, bool abort);

}  // namespace ostrel::rt
