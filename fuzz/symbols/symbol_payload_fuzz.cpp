// The unpacked payload reader (named and minimal) and the whole container
// path (header, stamp, unscrambling, unpacking) on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crash/report/symbols/container.h"
#include "crash/report/symbols/container_writer.h"
#include "fuzz/symbols/fuzz_lookups.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ostrel;
  if (size == 0) return 0;
  const std::span<const std::uint8_t> body(data + 1, size - 1);
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = (data[0] & 1) ? 0x500000 : 0;
  switch (data[0] >> 1 & 3) {
    case 0:
      ReadPayload(m, body, false);
      break;
    case 1:
      ReadPayload(m, body, true);
      break;
    case 2: {
      // Wrapped as a real container, so the payload gets past the checksum.
      const std::vector<std::uint8_t> raw(body.begin(), body.end());
      std::vector<std::uint8_t> blob = PackBlob(raw);
      if (blob.empty()) return 0;
      ScramblePayload(blob);
      std::vector<std::uint8_t> c(kContainerSignature, kContainerSignature + kSignatureLength);
      const auto n = static_cast<std::uint32_t>(blob.size());
      const std::uint8_t header[] = {std::uint8_t(n),
                                     std::uint8_t(n >> 8),
                                     std::uint8_t(n >> 16),
                                     std::uint8_t(n >> 24),
                                     2,
                                     0,
                                     0,
                                     0};
      c.insert(c.end(), header, header + 8);
      c.insert(c.end(), blob.begin(), blob.end());
      ReadContainer(m, c, nullptr);
      break;
    }
    default:
      ReadContainer(m, body, nullptr);
      break;
  }
  fuzz::AskEverything(m);
  return 0;
}
