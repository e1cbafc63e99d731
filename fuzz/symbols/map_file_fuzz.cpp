// The linker map parser on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <span>

#include "crash/report/symbols/MapParser.h"
#include "fuzz/symbols/FuzzLookups.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ostrel::TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x500000;
  m.codeOnly = size > 0 && (data[0] & 1) != 0;
  ostrel::ParseMapFile(m, std::span(data, size));
  m.TidySegments(false);
  ostrel::fuzz::AskEverything(m);
  return 0;
}
