// Decoding of one 32-bit x86 instruction.
#pragma once

#include <cstdint>

#include "crash/report/disasm/instruction.h"
#include "crash/report/disasm/memory_reader.h"

namespace ostrel {

// Decodes the instruction at address. With a register state, the state is updated for the
// effect of the instruction and used to resolve indirect transfers through registers.
TInstruction DecodeInstruction(const IMemoryReader& reader, std::uint32_t address,
                               const TDATryRead* snapshot, TRegisterState* regs);

// Whether the memory operand of a decoded instruction has no base and no index register.
// Base and index register of a memory operand (-1 when none; always -1 for 16-bit addressing).
inline bool IsAbsoluteMemory(const TInstruction& in) {
  if (!in.hasModrm || (in.modrm >> 6) == 3) return false;
  std::uint8_t mod = in.modrm >> 6, rm = in.modrm & 7;
  if (in.addrSize) return mod == 0 && rm == 6;
  if (mod == 0 && rm == 5) return true;
  return rm == 4 && mod == 0 && (in.sib & 7) == 5 && ((in.sib >> 3) & 7) == 4;
}

inline int MemoryBase(const TInstruction& in) {
  if (!in.hasModrm || (in.modrm >> 6) == 3 || in.addrSize) return -1;
  std::uint8_t mod = in.modrm >> 6, rm = in.modrm & 7;
  if (rm == 4) return (mod == 0 && (in.sib & 7) == 5) ? -1 : in.sib & 7;
  return (mod == 0 && rm == 5) ? -1 : rm;
}

inline int MemoryIndex(const TInstruction& in) {
  if (!in.hasModrm || (in.modrm >> 6) == 3 || in.addrSize || (in.modrm & 7) != 4) return -1;
  int index = (in.sib >> 3) & 7;
  return index == 4 ? -1 : index;
}

}  // namespace ostrel
