// A BMP file edited outside the program is untrusted: its header checks must
// refuse whatever does not fit the file and never read past it.
#include "crash/imaging/bmp_codec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto picture = ostrel::DecodeBmp({data, size});
  if (!picture) return 0;
  if (picture->width <= 0 || picture->height <= 0 ||
      picture->bits.size() != static_cast<std::size_t>(picture->width) * picture->height * 4) {
    std::abort();
  }
  for (std::size_t i = 3; i < picture->bits.size(); i += 4) {
    if (picture->bits[i] != 0) std::abort();
  }
  return 0;
}
