// The opcode tables of the one-byte map, the 0F map, the groups and the x87 escapes.
#pragma once

#include <cstdint>

#include "crash/report/disasm/instruction.h"

namespace ostrel {

enum TOpcodeFlag : std::uint32_t {
  kFlagModrm = 1 << 0,
  kFlagGroup = 1 << 1,    // meaning chosen by the ModRM reg field
  kFlagNoWrite = 1 << 2,  // first operand is read only
  kFlagWrite1 = 1 << 3,   // second operand is written too
  kFlagString = 1 << 4,   // string instruction: rep also changes ecx
  kFlagX87 = 1 << 5,
  kFlagSse = 1 << 6,  // variant chosen by the 66/F2/F3 prefix
  kFlag3DNow = 1 << 7,
  kFlagCall = 1 << 8,
  kFlagJump = 1 << 9,
  kFlagFar = 1 << 10,  // far transfer
  kFlagPrefix = 1 << 11,
  kFlagMemOnly = 1 << 12,
  kFlagRegOnly = 1 << 13,
  kFlagNoOpSize = 1 << 14,   // the 66 prefix picks no "|" variant (addr size does)
  kFlagImm = 1 << 15,        // has an immediate, offset or far pointer
  kFlagCheckReg = 1 << 16,   // segment or control register operand to check
  kFlagNameBar = 1 << 17,    // name has "|" variants
  kFlagNameSlash = 1 << 18,  // name has "/" variants
  kFlagNameCoded = 1 << 19,  // name has variants or placeholders
};

// Implicitly written registers, one bit per register in encoding order.
enum : std::uint8_t {
  kEax = 1,
  kEcx = 2,
  kEdx = 4,
  kEbx = 8,
  kEsp = 16,
  kEbp = 32,
  kEsi = 64,
  kEdi = 128,
};

struct TOpcode {
  const char* name = nullptr;  // nullptr: undefined
  TOperandKind op[3] = {};
  std::uint32_t flags = 0;
  std::uint8_t group = 0;
  std::uint8_t implicit = 0;
  std::uint8_t nameLength = 0;  // characters of name; 0 when not known (the text counts them)
};

struct TOpcodeTables {
  TOpcode oneByte[256];
  TOpcode twoByte[256];
  TOpcode sse[256][4];     // 0F map with kFlagSse: none, 66, F2, F3
  TOpcode groups[20][16];  // [group][reg] memory form, [group][8 + reg] register form
  TOpcode x87Mem[8][8];    // D8..DF, reg
  TOpcode x87Reg[8][64];   // D8..DF, ModRM - C0
  const char* amd3DNow[256];
};

const TOpcodeTables& OpcodeTables();

// Flags an operand kind contributes to its opcode entry.
std::uint32_t OperandFlags(TOperandKind k);

// Whether the operand kind is taken from the ModRM byte.
inline bool UsesModrm(TOperandKind k) {
  switch (k) {
    case TOperandKind::Eb:
    case TOperandKind::Ew:
    case TOperandKind::Ev:
    case TOperandKind::Ed:
    case TOperandKind::Gb:
    case TOperandKind::Gw:
    case TOperandKind::Gv:
    case TOperandKind::Gd:
    case TOperandKind::Rd:
    case TOperandKind::M:
    case TOperandKind::Mb:
    case TOperandKind::Mw:
    case TOperandKind::Md:
    case TOperandKind::Mq:
    case TOperandKind::Mt:
    case TOperandKind::Mo:
    case TOperandKind::Mp:
    case TOperandKind::Sw:
    case TOperandKind::Cd:
    case TOperandKind::Dd:
    case TOperandKind::Pq:
    case TOperandKind::Qq:
    case TOperandKind::Nq:
    case TOperandKind::Vx:
    case TOperandKind::Wx:
    case TOperandKind::Wq:
    case TOperandKind::Wd:
    case TOperandKind::Ux:
    case TOperandKind::STi:
    case TOperandKind::Ews:
      return true;
    default:
      return false;
  }
}

}  // namespace ostrel
