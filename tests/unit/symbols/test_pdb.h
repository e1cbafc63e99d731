// A small program database container (MSF 7.00) built in memory, and the
// CodeView record that ties a module to it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/unit/symbols/test_image.h"

namespace ostrel::test {

inline constexpr std::uint32_t kPdbBlock = 512;
inline constexpr std::array<std::uint8_t, 16> kPdbGuid = {1, 2,  3,  4,  5,  6,  7,  8,
                                                          9, 10, 11, 12, 13, 14, 15, 16};

// Blocks: 0 header, 1-2 free maps, 3 the directory's block list, 4 the
// directory, 5 the info stream (stream 1), 6 a second stream (stream 2).
inline std::vector<std::uint8_t> PdbFile(const std::array<std::uint8_t, 16>& guid,
                                         std::uint32_t age) {
  std::vector<std::uint8_t> f(7 * kPdbBlock, 0);
  const char magic[] =
      "Microsoft C/C++ MSF 7.00\r\n\x1a"
      "DS\0\0";
  std::memcpy(f.data(), magic, sizeof magic);
  Put32(f, 32, kPdbBlock);
  Put32(f, 36, 1);
  Put32(f, 40, 7);
  Put32(f, 44, 4 + 3 * 4 + 2 * 4);  // count, three sizes, two blocks
  Put32(f, 52, 3);
  Put32(f, 3 * kPdbBlock, 4);
  const std::size_t dir = 4 * kPdbBlock;
  Put32(f, dir, 3);
  Put32(f, dir + 4, 0xFFFFFFFFu);  // stream 0: none
  Put32(f, dir + 8, 28);
  Put32(f, dir + 12, 100);
  Put32(f, dir + 16, 5);
  Put32(f, dir + 20, 6);
  const std::size_t info = 5 * kPdbBlock;
  Put32(f, info, 20000404);
  Put32(f, info + 8, age);
  std::copy(guid.begin(), guid.end(), f.begin() + static_cast<std::ptrdiff_t>(info + 12));
  return f;
}

// A mapped image (raw offsets equal addresses) whose debug directory names a
// PDB by GUID and age; signature "NB10" names none the new way.
inline std::vector<std::uint8_t> ImageLinkedWith(const std::array<std::uint8_t, 16>& guid,
                                                 std::uint32_t age,
                                                 const char* signature = "RSDS") {
  std::vector<std::uint8_t> b = MappedImage({});
  constexpr std::uint32_t kDirectory = kCodeRva + 0x800, kRecord = kCodeRva + 0x900;
  Put32(b, 0x98 + 96 + 6 * 8, kDirectory);
  Put32(b, 0x98 + 100 + 6 * 8, 28);
  Put32(b, kDirectory + 12, 2);  // CodeView
  Put32(b, kDirectory + 16, 24 + 10);
  Put32(b, kDirectory + 20, kRecord);
  Put32(b, kDirectory + 24, kRecord);
  std::memcpy(b.data() + kRecord, signature, 4);
  std::copy(guid.begin(), guid.end(), b.begin() + kRecord + 4);
  Put32(b, kRecord + 20, age);
  std::memcpy(b.data() + kRecord + 24, "Probe.pdb", 10);
  return b;
}

}  // namespace ostrel::test
