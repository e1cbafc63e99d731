// One decoded x86 instruction and the register state the decoder tracks.
#pragma once

#include <cstdint>

namespace ostrel {

// Known values of eax, ecx, edx, ebx, esp, ebp, esi, edi (encoding order); 0 = unknown.
struct TRegisterState {
  std::uint32_t reg[8] = {};
  bool operator==(const TRegisterState&) const = default;
};

// Operand kinds of the opcode tables.
enum class TOperandKind : std::uint8_t {
  None,
  Eb,
  Ew,
  Ev,
  Ed,  // r/m general
  Gb,
  Gw,
  Gv,
  Gd,  // reg general
  Rd,  // rm general 32-bit, register only
  Zb,
  Zv,  // register from the opcode's low bits
  Ib,
  Ibs,
  Iw,
  Iz,  // immediates (Ibs: sign-extended byte)
  Jb,
  Jz,  // relative displacement
  Ap,  // far pointer segment:offset
  M,
  Mb,
  Mw,
  Md,
  Mq,
  Mt,
  Mo,
  Mp,  // memory only, by size (M: no size shown)
  Ob,
  Ov,  // absolute offset (moffs)
  Sw,
  Cd,
  Dd,  // segment, control, debug register from reg
  AL,
  CL,
  DX,
  AX,
  eAX,
  One,
  ES,
  CS,
  SS,
  DS,
  FS,
  GS,
  Pq,
  Qq,
  Nq,  // MMX: reg, r/m, rm register only
  Vx,
  Wx,
  Wq,
  Wd,
  Ux,  // XMM: reg, r/m 128, r/m 64, r/m 32, rm register only
  ST0,
  STi,  // x87
  Ews,  // r/m: 16-bit memory or 32-bit register (segment moves, lar, pinsrw)
};

// Result of decoding one instruction; every field zero before decoding.
struct TInstruction {
  bool valid = false;
  std::uint32_t opcode = 0;  // one-byte opcode, or 0F00h + second byte
  std::uint8_t modrm = 0;
  bool hasModrm = false;
  bool isCall = false;
  bool isJump = false;
  bool relativeTarget = false;
  std::uint32_t target = 0;
  std::uint32_t targetField = 0;    // where the displacement or pointer is stored
  std::uint32_t targetPointer = 0;  // memory location holding an indirect target
  std::uint8_t targetSize = 0;
  bool enlargeable = false;
  std::uint32_t address = 0;
  std::uint32_t next = 0;

  // Decoding details used by the text formatter.
  std::uint8_t length = 0;
  std::uint8_t sib = 0;
  bool hasSib = false;
  bool opSize = false;    // 66
  bool addrSize = false;  // 67
  bool lock = false;
  std::uint8_t rep = 0;        // F2 or F3 (the last one seen)
  std::uint8_t segment = 0;    // override prefix byte, 0 = none
  std::uint8_t ssePrefix = 0;  // 0 none, 1 = 66, 2 = F2, 3 = F3: the variant chosen
  std::uint8_t suffix = 0;     // 3DNow! suffix byte
  std::int32_t disp = 0;
  std::uint8_t dispSize = 0;
  std::uint32_t dispAddress = 0;  // where the displacement is stored
  std::uint32_t imm = 0;
  std::uint32_t imm2 = 0;  // second immediate (enter) or far segment
  std::uint8_t immSize = 0;
  std::uint32_t immAddress = 0;
  const char* mnemonic = nullptr;
  std::uint8_t mnemonicLength = 0;  // characters of mnemonic when known, else 0
  TOperandKind op[3] = {};
  std::uint8_t x87 = 0;     // x87 instruction: the name lacks its leading "f"
  std::uint32_t flags = 0;  // table flags of the entry
};

}  // namespace ostrel
