#include <windows.h>

#include "crash/report/symbols/demangle.h"
#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/win/loaded_symbols.h"
#include "crash/report/symbols/win/win32_environment.h"

namespace ostrel {
namespace {

std::u16string ModuleFileName(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &region, sizeof region) == 0 ||
      region.AllocationBase == nullptr)
    return {};
  wchar_t path[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::u16string() : std::u16string(path, path + n);
}

}  // namespace

__attribute__((noinline)) TAddressInfo DescribeAddress(std::uintptr_t address) {
  if (address == 0) address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)) - 1;
  const auto symbols = SymbolsForModule(address);
  TAddressInfo info = DescribeInSymbols(*symbols, static_cast<std::uint32_t>(address));
  if (info.moduleFileName.empty()) info.moduleFileName = ModuleFileName(address);
  return info;
}

std::u16string FunctionNameAt(std::uint32_t address) {
  return FunctionNameInSymbols(*SymbolsForModule(address), address);
}

void LineRangeAt(std::uint32_t address, int& line, std::uint32_t& rangeStart,
                 std::uint32_t& rangeEnd) {
  static TLineRangeCache cache;  // the disassembler's previous answer
  const auto symbols = SymbolsForModule(address);
  std::int32_t value = 0;
  cache.Query(symbols.get(), address, value, rangeStart, rangeEnd);
  line = value;
}

std::u16string ExportNameAt(std::uintptr_t module, std::uint32_t address, bool demangle) {
  if (module == 0) return {};
  TWin32SymbolEnvironment env(reinterpret_cast<HMODULE>(module));
  const TPeImage image(env.MappedImage(), true);
  if (!image.valid() || address < module) return {};
  const auto found = image.ExportAt(static_cast<std::uint32_t>(address - module));
  if (!found) return {};
  if (found->name.empty()) return u"#" + DecimalText(found->ordinal);
  std::u16string name = Utf8ToUtf16(found->name);
  if (!demangle) return name;
  const TDemangled d = DemangleName(name);
  return d.unit.empty() ? d.name : d.unit + u"." + d.name;
}

TDisasmSymbols SymbolCallbacksForDisassembler() {
  TDisasmSymbols callbacks;
  callbacks.exportNameAt = [](std::uint32_t address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), &region,
                     sizeof region) == 0)
      return std::string();
    return Utf16ToUtf8(
        ExportNameAt(reinterpret_cast<std::uintptr_t>(region.AllocationBase), address, true));
  };
  callbacks.functionNameAt = [](std::uint32_t address) {
    return Utf16ToUtf8(FunctionNameAt(address));
  };
  callbacks.lineRangeAt = [](std::uint32_t address, int& line, std::uint32_t& start,
                             std::uint32_t& end) { LineRangeAt(address, line, start, end); };
  callbacks.foreignModuleAt = [](std::uint32_t address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), &region,
                     sizeof region) == 0 ||
        region.AllocationBase == nullptr || region.AllocationBase == GetModuleHandleW(nullptr))
      return std::string();
    return Utf16ToUtf8(FileNamePart(ModuleFileName(address)));
  };
  return callbacks;
}

}  // namespace ostrel
