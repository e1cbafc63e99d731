// The text line of one instruction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/disasm/instruction.h"
#include "crash/report/disasm/memory_reader.h"
#include "crash/report/disasm/disasm_symbols.h"

namespace ostrel {

struct TInstructionText {
  std::string head;  // address, prefixes and mnemonic
  std::vector<std::string> operands;
  std::vector<std::uint32_t> operandTarget;  // address an operand names (relative target), else 0
  std::string comment;                       // "  ; ..." or empty
};

// Joins the parts: mnemonic padded to 19, operands, comment padded to 40.
std::string ComposeLine(const TInstructionText& parts);

// Decodes and formats the instruction at address. An invalid instruction yields one
// "db" line per byte.
TInstruction DecodeInstructionText(const IMemoryReader& reader, std::uint32_t address,
                                   TRegisterState* regs, const TDisasmSymbols* symbols,
                                   std::string& text, TInstructionText* parts = nullptr);

// Hex of a value with "$"; 0..9 in decimal.
std::string ValueText(std::uint32_t value);

// Whether the text at address looks like a string; its text when it does.
bool LooksLikeText(const IMemoryReader& reader, std::uint32_t address, std::string& text);

}  // namespace ostrel
