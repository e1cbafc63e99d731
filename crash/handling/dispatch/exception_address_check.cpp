// The exception address check at the start of handling: the address is
// corrected by decoding the function that contains it, where the module's
// symbol information names that function.
#include "crash/handling/dispatch/exception_address_check.h"

#include "crash/report/disasm/exception_address.h"
#include "crash/report/disasm/win/process_memory.h"
#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/win/loaded_symbols.h"

namespace ostrel::rt {

std::uintptr_t CheckExceptionAddress(std::uintptr_t address, bool abort) {
  if (address == 0 || abort) return address;
  try {
    const auto symbols = SymbolsForModule(address);
    if (!symbols || !symbols->valid) return address;
    const TMfPublic function = PublicAt(*symbols, static_cast<std::uint32_t>(address));
    if (!function.valid || !function.code) return address;
    const TProcessMemoryReader reader;
    return CorrectExceptionAddress(reader, static_cast<std::uint32_t>(address), function.address);
  } catch (...) {
    return address;
  }
}

}  // namespace ostrel::rt
