// Callbacks through which the disassembler names code; the symbol reader installs them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ostrel {

struct TDisasmSymbols {
  // Demangled export name of the function starting at the address, empty when none.
  std::function<std::string(std::uint32_t)> exportNameAt;
  // FunctionNameAt: name of the public that starts exactly at the address.
  std::function<std::string(std::uint32_t)> functionNameAt;
  // LineRangeAt: line number of the address and the address range with that line.
  std::function<void(std::uint32_t address, int& line, std::uint32_t& start, std::uint32_t& end)>
      lineRangeAt;
  // File name of the module holding the address when that is not the program's own module.
  std::function<std::string(std::uint32_t)> foreignModuleAt;
  // Class name of an exception class reference (exception-handler tables), empty if unknown.
  std::function<std::string(std::uint32_t)> classNameAt;
};

// Export name first, then the symbol reader's function name.
std::string NameOfFunction(const TDisasmSymbols* symbols, std::uint32_t address);

}  // namespace ostrel
