// Small functions built byte by byte for the parser and listing tests.
#pragma once

#include "tests/unit/disasm/test_memory.h"

namespace ostrel::test {

constexpr std::uint32_t kFunction = 0x401000;

// An exception frame, a switch over three cases through a table, and the frame's handler.
inline std::vector<std::uint8_t> SwitchWithFrame() {
  return Bytes({
      0x55,                                      // 401000 push ebp
      0x8B, 0xEC,                                // 401001 mov ebp, esp
      0x68, 0x41, 0x10, 0x40, 0x00,              // 401003 push $401041 (handler)
      0x64, 0xFF, 0x35, 0x00, 0x00, 0x00, 0x00,  // 401008 push dword ptr fs:[0]
      0x64, 0x89, 0x25, 0x00, 0x00, 0x00, 0x00,  // 40100f mov fs:[0], esp
      0x8B, 0x45, 0x08,                          // 401016 mov eax, [ebp+8]
      0x83, 0xF8, 0x02,                          // 401019 cmp eax, 2
      0x77, 0x1A,                                // 40101c ja 401038
      0xFF, 0x24, 0x85, 0x25, 0x10, 0x40, 0x00,  // 40101e jmp [eax*4+$401025]
      0x31, 0x10, 0x40, 0x00,                    // 401025 table
      0x34, 0x10, 0x40, 0x00,                    //
      0x38, 0x10, 0x40, 0x00,                    //
      0x40,                                      // 401031 inc eax
      0xEB, 0x04,                                // 401032 jmp 401038
      0x48,                                      // 401034 dec eax
      0x90, 0x90, 0x90,                          // 401035 nop (falls through)
      0x64, 0x8F, 0x05, 0x00, 0x00, 0x00, 0x00,  // 401038 pop dword ptr fs:[0]
      0x5D,                                      // 40103f pop ebp
      0xC3,                                      // 401040 ret
      0x33, 0xC0,                                // 401041 xor eax, eax (handler)
      0xC3,                                      // 401043 ret
  });
}

}  // namespace ostrel::test
