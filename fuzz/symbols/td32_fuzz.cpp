// The TD32 reader on arbitrary data, on its own and as the search finds it:
// in a ".tds" file (with a map beside it) or in the module file's last
// section. The first byte picks the case.
#include <cstddef>
#include <cstdint>
#include <span>

#include "crash/report/symbols/td32_reader.h"
#include "fuzz/symbols/fuzz_files.h"
#include "fuzz/symbols/fuzz_lookups.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ostrel;
  if (size == 0) return 0;
  const std::span<const std::uint8_t> body(data + 1, size - 1);
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = (data[0] & 8) ? 0x500000 : 0;
  switch (data[0] & 3) {
    case 0:
    case 1:
      ReadTd32(m, body, (data[0] & 1) != 0);
      break;
    case 2: {
      fuzz::TFiles env;
      env.files[u"C:\\app\\Probe.tds"] = {{body.begin(), body.end()}, 10};
      const std::string map = " 0001:00000010       FromMap\r\n";
      env.files[u"C:\\app\\Probe.map"] = {{map.begin(), map.end()}, (data[0] & 4) ? 11 : 10};
      m.moduleFileName = u"C:\\app\\Probe.exe";
      BuildModuleSymbols(m, env);
      break;
    }
    default: {
      fuzz::TFiles env;
      env.files[u"C:\\app\\Probe.exe"] = {{body.begin(), body.end()}, 0};
      m.moduleFileName = u"C:\\app\\Probe.exe";
      BuildModuleSymbols(m, env);
      break;
    }
  }
  fuzz::AskEverything(m);
  return 0;
}
