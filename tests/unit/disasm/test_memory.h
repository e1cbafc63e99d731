// Memory set-ups for the disassembler tests.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "crash/report/disasm/memory_image.h"

namespace ostrel::test {

inline TMemoryImage Code(std::uint32_t base, std::vector<std::uint8_t> bytes) {
  TMemoryImage image;
  image.Add(base, std::move(bytes));
  return image;
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> v;
  for (int b : list) v.push_back(std::uint8_t(b));
  return v;
}

inline void Put32(std::vector<std::uint8_t>& m, size_t at, std::uint32_t v) {
  std::memcpy(&m[at], &v, 4);
}

// A module image of the given size at base with PE headers and one code section at +0x1000.
inline std::vector<std::uint8_t> ModuleBytes(std::uint32_t size) {
  std::vector<std::uint8_t> m(size, 0);
  m[0] = 'M';
  m[1] = 'Z';
  Put32(m, 0x3C, 0x40);
  Put32(m, 0x40, 0x4550);
  m[0x46] = 1;     // one section
  m[0x54] = 0xE0;  // size of optional header
  m[0x58] = 0x0B;  // magic 10B
  m[0x59] = 0x01;
  Put32(m, 0x58 + 4, 0x1000);         // size of code
  Put32(m, 0x58 + 8, size - 0x2000);  // initialised data
  Put32(m, 0x58 + 20, 0x1000);        // base of code
  Put32(m, 0x58 + 24, 0x2000);        // base of data
  Put32(m, 0x58 + 56, size);          // size of image
  size_t section = 0x58 + 0xE0;
  std::memcpy(&m[section], ".text", 5);
  Put32(m, section + 8, 0x1000);
  Put32(m, section + 12, 0x1000);
  Put32(m, section + 36, 0x60000020);
  return m;
}

}  // namespace ostrel::test
