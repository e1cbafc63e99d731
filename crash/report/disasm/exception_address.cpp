#include "crash/report/disasm/exception_address.h"

#include <algorithm>
#include <vector>

#include "crash/report/disasm/decoder.h"

namespace ostrel {

std::uint32_t CorrectExceptionAddress(const IMemoryReader& reader, std::uint32_t address,
                                      std::uint32_t functionStart, const TRuntimeHelpers& helpers) {
  if (address == 0 || functionStart == 0) return address;
  const TFunctionInfo info = ParseFunction(reader, functionStart, nullptr, helpers);
  if (!info.valid) return address;
  std::vector<std::uint32_t> known;  // instruction starts and return addresses
  for (const TCodeArea& area : info.areas) {
    if (area.caseJumpTable || area.exceptionHandlerTable) continue;
    for (std::uint32_t at = area.start; at < area.end;) {
      const TInstruction in = DecodeInstruction(reader, at, nullptr, nullptr);
      if (!in.valid || in.length == 0) break;
      known.push_back(at);
      if (in.isCall) known.push_back(at + in.length);
      at += in.length;
    }
  }
  std::sort(known.begin(), known.end());
  auto isKnown = [&](std::uint32_t a) { return std::binary_search(known.begin(), known.end(), a); };
  if (!isKnown(address) && isKnown(address + 4)) return address + 4;
  return address;
}

}  // namespace ostrel
