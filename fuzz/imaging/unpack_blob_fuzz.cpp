// Compressed blobs come from a resource that may be damaged; unpacking and
// raw inflation must give a defined result and stay inside their buffers.
#include "crash/imaging/compression.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> unpacked = ostrel::UnpackBlob({data, size});
  if (!unpacked.empty()) {
    std::uint32_t length = 0;
    std::memcpy(&length, data, 4);
    if (unpacked.size() != length) std::abort();
  }
  if (size >= 2) {
    // The first two bytes choose the destination length.
    const std::size_t want = data[0] | data[1] << 8;
    std::vector<std::uint8_t> out(want);
    const int got = ostrel::InflateBuffer(data + 2, size - 2, out.data(), out.size());
    if (got != 0 && static_cast<std::size_t>(got) != want) std::abort();
    // Whatever was produced deflates and inflates back to itself.
    std::vector<std::uint8_t> packed(size * 11 / 10 + 12);
    const int n = ostrel::DeflateBuffer(data, size, packed.data(), packed.size());
    if (n <= 0) std::abort();
    std::vector<std::uint8_t> back(size);
    if (ostrel::InflateBuffer(packed.data(), static_cast<std::size_t>(n), back.data(), size) !=
            static_cast<int>(size) ||
        std::memcmp(back.data(), data, size) != 0) {
      std::abort();
    }
  }
  return 0;
}
