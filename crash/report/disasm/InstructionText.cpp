#include "InstructionText.h"

#include <cstdio>

#include "Decoder.h"
#include "ModuleRanges.h"
#include "OpcodeTable.h"

namespace ostrel {
namespace {

using K = TOperandKind;

const char* const kReg8[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
const char* const kReg16[8] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
const char* const kReg32[8] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
const char* const kSeg[8] = {"es", "cs", "ss", "ds", "fs", "gs", "?", "?"};
const char* const kCond = "o|no|b|nb|z|nz|be|a|s|ns|p|np|l|ge|le|g";

std::string Variant(const char* s, char sep, int index) {
  std::string all(s);
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    size_t next = all.find(sep, start);
    if (next == std::string::npos) break;
    start = next + 1;
  }
  size_t end = all.find(sep, start);
  return all.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string Mnemonic(const TInstruction& in) {
  std::string name = in.mnemonic ? in.mnemonic : "";
  if (name.find('|') != std::string::npos) {
    bool second = (in.opcode >= 0xE0 && in.opcode <= 0xE3) ? in.addrSize : in.opSize;
    name = Variant(name.c_str(), '|', second ? 1 : 0);
  }
  if (name.find('/') != std::string::npos) name = Variant(name.c_str(), '/', in.ssePrefix);
  size_t cc = name.find("%cc");
  if (cc != std::string::npos)
    name = name.substr(0, cc) + Variant(kCond, '|', in.opcode & 15) + name.substr(cc + 3);
  std::string out;
  for (char c : name) {
    if (c == 'P')
      out += (in.ssePrefix >= 2) ? 's' : 'p';
    else if (c == 'S')
      out += (in.ssePrefix == 1 || in.ssePrefix == 2) ? 'd' : 's';
    else
      out += c;
  }
  if (in.x87) out = "f" + out;
  return out;
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", v);
  return buf;
}

std::string Address(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", v);
  return buf;
}

std::string Signed(int32_t v) {
  if (v < 0) {
    std::string s(1, '-');
    s += ValueText(uint32_t(0) - uint32_t(v));
    return s;
  }
  return ValueText(uint32_t(v));
}

// Operand size in bytes of a kind; 0 when it has none.
int SizeOf(const TInstruction& in, K k) {
  bool reg = (in.modrm >> 6) == 3;
  switch (k) {
    case K::Eb:
    case K::Gb:
    case K::Zb:
    case K::AL:
    case K::Mb:
    case K::Ob:
    case K::CL:
      return 1;
    case K::Ew:
    case K::Gw:
    case K::Mw:
    case K::DX:
    case K::AX:
      return 2;
    case K::Ews:
      return reg ? (in.opSize ? 2 : 4) : 2;
    case K::Ev:
    case K::Gv:
    case K::Zv:
    case K::eAX:
    case K::Ov:
      return in.opSize && in.ssePrefix == 0 ? 2 : 4;
    case K::Ed:
    case K::Gd:
    case K::Rd:
    case K::Md:
    case K::Wd:
      return 4;
    case K::Pq:
    case K::Qq:
    case K::Nq:
    case K::Mq:
    case K::Wq:
      return 8;
    case K::Mt:
      return 10;
    case K::Vx:
    case K::Wx:
    case K::Ux:
    case K::Mo:
      return 16;
    default:
      return 0;
  }
}

bool IsRegisterOperand(const TInstruction& in, K k) {
  switch (k) {
    case K::Gb:
    case K::Gw:
    case K::Gv:
    case K::Gd:
    case K::Rd:
    case K::Zb:
    case K::Zv:
    case K::AL:
    case K::eAX:
    case K::Pq:
    case K::Nq:
    case K::Vx:
    case K::Ux:
      return true;
    case K::Eb:
    case K::Ew:
    case K::Ev:
    case K::Ed:
    case K::Ews:
    case K::Qq:
    case K::Wx:
    case K::Wq:
    case K::Wd:
      return (in.modrm >> 6) == 3;
    default:
      return false;
  }
}

std::string RegisterName(int size, int index) {
  if (size == 1) return kReg8[index];
  if (size == 2) return kReg16[index];
  return kReg32[index];
}

std::string MemoryText(const TInstruction& in, K k) {
  std::string s;
  // Size unless another operand is a register of the same size.
  int size = SizeOf(in, k);
  bool implied = false;
  for (K other : in.op)
    if (other != k && other != K::None && IsRegisterOperand(in, other) && SizeOf(in, other) == size)
      implied = true;
  if (size && !implied) {
    switch (size) {
      case 1:
        s += "byte ptr ";
        break;
      case 2:
        s += "word ptr ";
        break;
      case 4:
        s += "dword ptr ";
        break;
      case 8:
        s += "qword ptr ";
        break;
      case 10:
        s += "tbyte ptr ";
        break;
      case 16:
        s += "oword ptr ";
        break;
    }
  }
  if (in.segment) {
    int seg = in.segment == 0x26   ? 0
              : in.segment == 0x2E ? 1
              : in.segment == 0x36 ? 2
              : in.segment == 0x3E ? 3
              : in.segment == 0x64 ? 4
                                   : 5;
    s += kSeg[seg];
    s += ":";
  }
  if (k == K::Ob || k == K::Ov) return s + "[" + Address(uint32_t(in.disp)) + "]";
  std::string inner;
  if (in.addrSize) {
    static const char* const k16[8] = {"bx+si", "bx+di", "bp+si", "bp+di", "si", "di", "bp", "bx"};
    uint8_t mod = in.modrm >> 6, rm = in.modrm & 7;
    if (!(mod == 0 && rm == 6)) inner = k16[rm];
  } else {
    int base = MemoryBase(in), index = MemoryIndex(in);
    if (base >= 0) inner = kReg32[base];
    if (index >= 0) {
      if (!inner.empty()) inner += "+";
      inner += kReg32[index];
      int scale = 1 << (in.sib >> 6);
      if (scale > 1) {
        inner += '*';
        inner += char('0' + scale);
      }
    }
  }
  if (inner.empty())
    return s + "[" + Address(in.addrSize ? uint16_t(in.disp) : uint32_t(in.disp)) + "]";
  if (in.dispSize) {
    int32_t d = in.disp;
    if (d < 0) {
      inner += '-';
      inner += ValueText(uint32_t(0) - uint32_t(d));
    } else if (d > 0) {
      inner += '+';
      inner += ValueText(uint32_t(d));
    }
  }
  return s + "[" + inner + "]";
}

std::string OperandText(const TInstruction& in, K k, bool firstImm, uint32_t& target) {
  uint8_t mod = in.modrm >> 6, reg = (in.modrm >> 3) & 7, rm = in.modrm & 7;
  bool r = mod == 3;
  int vsize = in.opSize && in.ssePrefix == 0 ? 2 : 4;
  uint32_t immValue = firstImm ? in.imm : in.imm2;
  switch (k) {
    case K::Eb:
      return r ? kReg8[rm] : MemoryText(in, k);
    case K::Ew:
      return r ? kReg16[rm] : MemoryText(in, k);
    case K::Ev:
      return r ? RegisterName(vsize, rm) : MemoryText(in, k);
    case K::Ed:
      return r ? kReg32[rm] : MemoryText(in, k);
    case K::Ews:
      return r ? RegisterName(vsize, rm) : MemoryText(in, k);
    case K::Gb:
      return kReg8[reg];
    case K::Gw:
      return kReg16[reg];
    case K::Gv:
      return RegisterName(vsize, reg);
    case K::Gd:
      return kReg32[reg];
    case K::Rd:
      return kReg32[rm];
    case K::Zb:
      return kReg8[in.opcode & 7];
    case K::Zv:
      return RegisterName(vsize, in.opcode & 7);
    case K::Ib:
    case K::Iw:
    case K::Iz:
      return ValueText(immValue);
    case K::Ibs:
      return Signed(int32_t(immValue));
    case K::Jb:
    case K::Jz: {
      target = in.target ? in.target : in.next + in.imm;
      int32_t d = int32_t(in.imm);
      std::string sign = d < 0 ? "-" : "+";
      uint32_t mag = d < 0 ? uint32_t(0) - uint32_t(d) : uint32_t(d);
      return sign + ValueText(mag) + " (" + Address(target) + ")";
    }
    case K::Ap: {
      std::string far(1, '$');
      far += Hex(in.imm2);
      far += ':';
      far += Address(in.imm);
      return far;
    }
    case K::M:
    case K::Mb:
    case K::Mw:
    case K::Md:
    case K::Mq:
    case K::Mt:
    case K::Mo:
    case K::Mp:
    case K::Ob:
    case K::Ov:
      return MemoryText(in, k);
    case K::Sw:
      return kSeg[reg];
    case K::Cd:
      return "cr" + std::to_string(reg);
    case K::Dd:
      return "dr" + std::to_string(reg);
    case K::AL:
      return "al";
    case K::CL:
      return "cl";
    case K::DX:
      return "dx";
    case K::AX:
      return "ax";
    case K::eAX:
      return RegisterName(vsize, 0);
    case K::One:
      return "1";
    case K::ES:
      return "es";
    case K::CS:
      return "cs";
    case K::SS:
      return "ss";
    case K::DS:
      return "ds";
    case K::FS:
      return "fs";
    case K::GS:
      return "gs";
    case K::Pq:
      return "mm" + std::to_string(reg);
    case K::Qq:
      return r ? "mm" + std::to_string(rm) : MemoryText(in, k);
    case K::Nq:
      return "mm" + std::to_string(rm);
    case K::Vx:
      return "xmm" + std::to_string(reg);
    case K::Wx:
    case K::Wq:
    case K::Wd:
      return r ? "xmm" + std::to_string(rm) : MemoryText(in, k);
    case K::Ux:
      return "xmm" + std::to_string(rm);
    case K::ST0:
      return "st";
    case K::STi:
      return "st(" + std::to_string(rm) + ")";
    case K::None:
      return "";
  }
  return "";
}

bool InImage(const TModuleRanges& m, uint32_t v) {
  return v >= m.base && v < m.base + m.size && m.base + m.size - v > 100;
}

// Name of a target, following a one-instruction thunk to its final target.
std::string TargetName(const IMemoryReader& reader, const TDisasmSymbols* symbols,
                       uint32_t target) {
  std::string name = NameOfFunction(symbols, target);
  if (name.empty()) {
    TInstruction thunk = DecodeInstruction(reader, target, nullptr, nullptr);
    if (thunk.valid && thunk.isJump && thunk.target &&
        (thunk.opcode == 0xE9 || thunk.opcode == 0xEB || thunk.opcode == 0xFF)) {
      target = thunk.target;
      name = NameOfFunction(symbols, target);
    }
  }
  if (name.empty()) return name;
  if (symbols && symbols->foreignModuleAt && name.find('(') == std::string::npos) {
    std::string module = symbols->foreignModuleAt(target);
    if (!module.empty()) name += " (" + module + ")";
  }
  return name;
}

std::string Comment(const IMemoryReader& reader, const TInstruction& in,
                    const TDisasmSymbols* symbols) {
  if ((in.isCall || in.isJump) && in.target) {
    std::string name = TargetName(reader, symbols, in.target);
    if (!name.empty()) return "  ; " + name;
  }
  // A 32-bit displacement or immediate that points into a module image.
  uint32_t candidates[2] = {};
  bool isMemory[2] = {};
  int n = 0;
  bool memOperand = in.hasModrm && (in.modrm >> 6) != 3;
  for (K k : in.op)
    if (k == K::Ob || k == K::Ov) memOperand = true;
  if (memOperand && in.dispSize == 4) {
    candidates[n] = uint32_t(in.disp);
    isMemory[n++] = true;
  }
  if (in.immSize == 4 && !in.relativeTarget && in.opcode != 0x9A && in.opcode != 0xEA) {
    candidates[n] = in.imm;
    isMemory[n++] = false;
  }
  for (int i = 0; i < n; ++i) {
    uint32_t v = candidates[i];
    TModuleRanges m;
    if (!ModuleRangesAt(reader, v, m) || !InImage(m, v)) continue;
    if (isMemory[i]) {
      uint32_t stored = 0;
      if (reader.Read(v, &stored, 4) && InImage(m, stored)) v = stored;
    }
    std::string name = NameOfFunction(symbols, v);
    if (!name.empty()) return "  ; " + name;
    std::string text;
    if (LooksLikeText(reader, v, text)) return "  ; '" + text + "'";
  }
  return {};
}

}  // namespace

std::string ValueText(uint32_t value) {
  if (value <= 9) return std::to_string(value);
  std::string s(1, '$');
  s += Hex(value);
  return s;
}

std::string Hex8(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", value);
  return buf;
}

std::string NameOfFunction(const TDisasmSymbols* symbols, uint32_t address) {
  if (!symbols) return {};
  std::string name;
  if (symbols->exportNameAt) name = symbols->exportNameAt(address);
  if (name.empty() && symbols->functionNameAt) name = symbols->functionNameAt(address);
  return name;
}

bool LooksLikeText(const IMemoryReader& reader, uint32_t address, std::string& text) {
  text.clear();
  int a = 0, b = 0, c = 0, d = 0;
  for (int i = 0; i < 100; ++i) {
    uint8_t ch = 0;
    if (!reader.Read(address + i, &ch, 1)) return false;
    if (ch == 0 || ch == 10 || ch == 12) break;
    if (ch < 32) return false;
    if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
        ch == ' ')
      ++a;
    else if (ch == ',' || ch == '.' || ch == ':' || ch == '\\')
      ++b;
    else if (ch >= '!' && ch <= ']')
      ++c;
    else
      ++d;
    text += char(ch);
  }
  if (text.size() < 4) return false;
  int e = b / 2 + a;
  return b * 5 < a * 2 && c * 8 < e && d * 10 < e + c / 4;
}

std::string ComposeLine(const TInstructionText& parts) {
  std::string line = parts.head;
  if (!parts.operands.empty()) {
    if (line.size() < 19)
      line.append(19 - line.size(), ' ');
    else
      line += ' ';
    for (size_t i = 0; i < parts.operands.size(); ++i) {
      if (i) line += ", ";
      line += parts.operands[i];
    }
  }
  if (!parts.comment.empty()) {
    if (line.size() < 40) line.append(40 - line.size(), ' ');
    line += parts.comment;
  }
  return line;
}

TInstruction DecodeInstructionText(const IMemoryReader& reader, uint32_t address,
                                   TRegisterState* regs, const TDisasmSymbols* symbols,
                                   std::string& text, TInstructionText* parts) {
  TInstruction in = DecodeInstruction(reader, address, nullptr, regs);
  TInstructionText local;
  TInstructionText& p = parts ? *parts : local;
  p = {};
  if (!in.valid) {
    uint8_t byte = 0;
    bool ok = reader.Read(address, &byte, 1);
    char buf[8];
    std::snprintf(buf, sizeof buf, "$%02X", byte);
    p.head = Hex8(address) + "   db " + (ok ? buf : "??");
    text = p.head;
    return in;
  }
  std::string head = Hex8(address) + "   ";
  if (in.lock) head += "lock ";
  if (in.rep && in.opcode < 0x100) head += in.rep == 0xF2 ? "repne " : "rep ";
  head += Mnemonic(in);
  p.head = head;
  bool firstImm = true;
  for (K k : in.op) {
    if (k == K::None) continue;
    uint32_t target = 0;
    p.operands.push_back(OperandText(in, k, firstImm, target));
    p.operandTarget.push_back(target);
    if (k == K::Ib || k == K::Ibs || k == K::Iw || k == K::Iz) firstImm = false;
  }
  p.comment = Comment(reader, in, symbols);
  text = ComposeLine(p);
  return in;
}

}  // namespace ostrel
