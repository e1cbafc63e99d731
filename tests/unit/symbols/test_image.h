// A small 32-bit PE image built in memory, as a module would look once
// mapped: headers, one code section and a resource section.
#pragma once

#include <cstdint>
#include <vector>

#include "crash/report/symbols/resource_writer.h"

namespace ostrel::test {

inline constexpr std::uint32_t kCodeRva = 0x1000;
inline constexpr std::uint32_t kCodeSize = 0x1000;
inline constexpr std::uint32_t kResourceRva = 0x2000;

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline std::vector<std::uint8_t> MappedImage(const std::vector<TResourceEntry>& resources,
                                             std::uint32_t imageBase = 0x400000) {
  const std::vector<std::uint8_t> rsrc = BuildResourceSection(resources, kResourceRva);
  const std::uint32_t rsrcSize = static_cast<std::uint32_t>(rsrc.size());
  const std::uint32_t imageSize = kResourceRva + ((rsrcSize + 0xFFF) & ~0xFFFu);
  std::vector<std::uint8_t> b(imageSize, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 60, 0x80);
  b[0x80] = 'P';
  b[0x81] = 'E';
  const std::size_t file = 0x84, opt = 0x98;
  Put16(b, file, 0x14C);
  Put16(b, file + 2, 2);
  Put16(b, file + 16, 0xE0);
  Put16(b, opt, 0x10B);
  Put32(b, opt + 4, kCodeSize);
  Put32(b, opt + 8, 0x200);
  Put32(b, opt + 16, kCodeRva + 0x10);
  Put32(b, opt + 20, kCodeRva);
  Put32(b, opt + 24, kResourceRva);
  Put32(b, opt + 28, imageBase);
  Put32(b, opt + 32, 0x1000);
  Put32(b, opt + 36, 0x200);
  Put32(b, opt + 56, imageSize);
  Put32(b, opt + 60, 0x400);
  Put32(b, opt + 92, 16);
  Put32(b, opt + 96 + 2 * 8, kResourceRva);
  Put32(b, opt + 100 + 2 * 8, rsrcSize);
  const std::size_t sec = opt + 0xE0;
  const char text[] = ".text", res[] = ".rsrc";
  std::copy(text, text + 5, b.begin() + static_cast<std::ptrdiff_t>(sec));
  // Raw data at the same offsets, so the bytes also serve as the file.
  Put32(b, sec + 8, kCodeSize);
  Put32(b, sec + 12, kCodeRva);
  Put32(b, sec + 16, kCodeSize);
  Put32(b, sec + 20, kCodeRva);
  Put32(b, sec + 36, 0x60000020);
  std::copy(res, res + 5, b.begin() + static_cast<std::ptrdiff_t>(sec + 40));
  Put32(b, sec + 48, rsrcSize);
  Put32(b, sec + 52, kResourceRva);
  Put32(b, sec + 56, imageSize - kResourceRva);
  Put32(b, sec + 60, kResourceRva);
  Put32(b, sec + 76, 0x40000040);
  std::copy(rsrc.begin(), rsrc.end(), b.begin() + kResourceRva);
  return b;
}

}  // namespace ostrel::test
