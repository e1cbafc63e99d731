// Decoding of one 32-bit x86 instruction.
#pragma once

#include <cstdint>

#include "Instruction.h"
#include "MemoryReader.h"

namespace ostrel {

// Decodes the instruction at address. With a register state, the state is updated for the
// effect of the instruction and used to resolve indirect transfers through registers.
TInstruction DecodeInstruction(const IMemoryReader& reader, uint32_t address,
                               const TDATryRead* snapshot, TRegisterState* regs);

// Whether the memory operand of a decoded instruction has no base and no index register.
bool IsAbsoluteMemory(const TInstruction& in);

// Base register of a memory operand (-1 when none); for 16-bit addressing always -1.
int MemoryBase(const TInstruction& in);
int MemoryIndex(const TInstruction& in);

}  // namespace ostrel
