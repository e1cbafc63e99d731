// The linker map parser on arbitrary text, and the TD32 reader on the same
// bytes behind a TD32 signature.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crash/report/symbols/map_parser.h"
#include "crash/report/symbols/td32_reader.h"
#include "fuzz/symbols/fuzz_lookups.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ostrel::TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x500000;
  m.codeOnly = size > 0 && (data[0] & 1) != 0;
  ostrel::ParseMapFile(m, std::span(data, size));
  m.TidySegments(false);
  ostrel::fuzz::AskEverything(m);
  std::vector<std::uint8_t> td32 = {'F', 'B', '0', 'A'};
  td32.insert(td32.end(), data, data + size);
  ostrel::TMapFile t;
  t.codeBase = 0x401000;
  t.codeTop = 0x500000;
  ostrel::ReadTd32(t, td32, false);
  ostrel::fuzz::AskEverything(t);
  return 0;
}
