#include "crash/report/disasm/instruction_text.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/module_ranges.h"
#include "crash/report/disasm/opcode_table.h"
#include "crash/report/disasm/text_buffer.h"

namespace ostrel {
namespace {

using K = TOperandKind;

// Register names in rows of four bytes, copied a whole row at a time.
constexpr char kReg8[8][4] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr char kReg16[8][4] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
constexpr char kReg32[8][4] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
constexpr char kSeg[8][4] = {"es", "cs", "ss", "ds", "fs", "gs", "?", "?"};

// Operand text is written at a cursor without bounds checks: the caller makes sure of
// kOperandRoom characters and TTextBuffer::kSpare bytes behind them (fixed-size copies may write
// a few bytes past the text). Each writer returns the cursor after its text.
constexpr std::size_t kOperandRoom =
    64;  // the longest operand, "oword ptr gs:[ebx+ecx*4-$80000000]", has 34

template <std::size_t N>
char* Put(char* p, const char (&s)[N]) {
  std::memcpy(p, s, N - 1);
  return p + N - 1;
}
char* Put(char* p, char c) {
  *p = c;
  return p + 1;
}
// A name from a table of four-byte rows: the whole row is copied.
char* PutRow(char* p, const char (&row)[4], std::size_t length) {
  std::memcpy(p, row, 4);
  return p + length;
}
char* PutReg8(char* p, int i) { return PutRow(p, kReg8[i], 2); }
char* PutReg16(char* p, int i) { return PutRow(p, kReg16[i], 2); }
char* PutReg32(char* p, int i) { return PutRow(p, kReg32[i], 3); }
char* PutSeg(char* p, int i) { return PutRow(p, kSeg[i], i < 6 ? 2 : 1); }

// 0..9 decimal, else "$" + upper-case hex.
char* PutValue(char* p, std::uint32_t v) {
  if (v <= 9) return Put(p, char('0' + v));
  *p++ = '$';
  return text_detail::PutHex(p, v, text_detail::HexDigits(v, 1), text_detail::kUpperHexPairs);
}

// "$" + 8 upper-case hex digits.
char* PutAddress(char* p, std::uint32_t v) {
  *p++ = '$';
  return text_detail::PutHex(p, v, 8, text_detail::kUpperHexPairs);
}

// Writes the mnemonic: "|" variants by operand size (address size for the ecx jumps), "/"
// variants by the SSE prefix, "%cc" condition codes, P/S packed-scalar and single-double.
void WriteMnemonic(TTextBuffer& out, const TInstruction& in) {
  if (in.x87) out.Put('f');
  const char* name = in.mnemonic ? in.mnemonic : "";
  if (!(in.flags & kFlagNameCoded)) {
    if (in.mnemonicLength)
      out.PutTerminated(name, in.mnemonicLength);
    else
      out.PutString(name);
    return;
  }
  int bar = (in.opcode >= 0xE0 && in.opcode <= 0xE3) ? in.addrSize : in.opSize;
  int slash = in.ssePrefix;
  int barIndex = 0, slashIndex = 0;
  bool hasBar = (in.flags & kFlagNameBar) != 0;
  bool hasSlash = (in.flags & kFlagNameSlash) != 0;
  for (const char* c = name; *c; ++c) {
    if (*c == '|') {
      ++barIndex;
      continue;
    }
    if (*c == '/') {
      ++slashIndex;
      continue;
    }
    if ((hasBar && barIndex != bar) || (hasSlash && slashIndex != slash)) continue;
    if (*c == '%' && c[1] == 'c' && c[2] == 'c') {
      static const char* const kCodes[16] = {"o", "no", "b", "nb", "z", "nz", "be", "a",
                                             "s", "ns", "p", "np", "l", "ge", "le", "g"};
      out.Put(kCodes[in.opcode & 15]);
      c += 2;
    } else if (*c == 'P') {
      out.Put(in.ssePrefix >= 2 ? 's' : 'p');
    } else if (*c == 'S') {
      out.Put((in.ssePrefix == 1 || in.ssePrefix == 2) ? 'd' : 's');
    } else {
      out.Put(*c);
    }
  }
}

// Operand size of a kind in bytes, 0 when it has none, or one of these two that depend on
// the instruction.
constexpr std::uint8_t kSizeV = 0xFF;  // 2 with the operand-size prefix (and no SSE prefix), else 4
constexpr std::uint8_t kSizeEws = 0xFE;  // register: 2 or 4 by the operand-size prefix; memory: 2

constexpr std::uint8_t KindSize(K k) {
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
      return kSizeEws;
    case K::Ev:
    case K::Gv:
    case K::Zv:
    case K::eAX:
    case K::Ov:
      return kSizeV;
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

// Whether a kind counts as a register operand when sizes are compared: never, always, or
// when the ModRM operand is a register.
enum TRegisterKind : std::uint8_t { kNoRegister, kRegister, kRegisterIfMod3 };

constexpr std::uint8_t KindRegister(K k) {
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
      return kRegister;
    case K::Eb:
    case K::Ew:
    case K::Ev:
    case K::Ed:
    case K::Ews:
    case K::Qq:
    case K::Wx:
    case K::Wq:
    case K::Wd:
      return kRegisterIfMod3;
    default:
      return kNoRegister;
  }
}

constexpr std::size_t kKinds = std::size_t(K::Ews) + 1;

template <std::uint8_t (*F)(K)>
constexpr std::array<std::uint8_t, kKinds> KindTable() {
  std::array<std::uint8_t, kKinds> t{};
  for (std::size_t i = 0; i < kKinds; ++i) t[i] = F(K(i));
  return t;
}

constexpr auto kKindSizes = KindTable<KindSize>();
constexpr auto kKindRegisters = KindTable<KindRegister>();

// Operand size in bytes of a kind; 0 when it has none.
int SizeOf(const TInstruction& in, K k) {
  std::uint8_t size = kKindSizes[std::size_t(k)];
  if (size < kSizeEws) return size;
  if (size == kSizeV) return in.opSize && in.ssePrefix == 0 ? 2 : 4;
  return (in.modrm >> 6) == 3 ? (in.opSize ? 2 : 4) : 2;
}

bool IsRegisterOperand(const TInstruction& in, K k) {
  std::uint8_t r = kKindRegisters[std::size_t(k)];
  return r == kRegister || (r == kRegisterIfMod3 && (in.modrm >> 6) == 3);
}

char* WriteMemory(char* p, const TInstruction& in, K k) {
  // Size unless another operand is a register of the same size.
  int size = SizeOf(in, k);
  bool implied = false;
  if ((in.modrm >> 6) != 3 || k == K::Ob || k == K::Ov) {
    for (K other : in.op)
      if (other != k && other != K::None && SizeOf(in, other) == size &&
          IsRegisterOperand(in, other)) {
        implied = true;
        break;
      }
  }
  if (size && !implied) {
    switch (size) {
      case 1:
        p = Put(p, "byte ptr ");
        break;
      case 2:
        p = Put(p, "word ptr ");
        break;
      case 4:
        p = Put(p, "dword ptr ");
        break;
      case 8:
        p = Put(p, "qword ptr ");
        break;
      case 10:
        p = Put(p, "tbyte ptr ");
        break;
      case 16:
        p = Put(p, "oword ptr ");
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
    p = PutSeg(p, seg);
    *p++ = ':';
  }
  *p++ = '[';
  bool any = false;
  if (k == K::Ob || k == K::Ov) {
  } else if (in.addrSize) {
    static constexpr char k16[8][8] = {"bx+si", "bx+di", "bp+si", "bp+di", "si", "di", "bp", "bx"};
    std::uint8_t mod = in.modrm >> 6, rm = in.modrm & 7;
    if (!(mod == 0 && rm == 6)) {
      std::memcpy(p, k16[rm], 8);
      p += rm < 4 ? 5 : 2;
      any = true;
    }
  } else {
    int base = MemoryBase(in), index = MemoryIndex(in);
    if (base >= 0) {
      p = PutReg32(p, base);
      any = true;
    }
    if (index >= 0) {
      if (any) *p++ = '+';
      p = PutReg32(p, index);
      int scale = 1 << (in.sib >> 6);
      if (scale > 1) {
        *p++ = '*';
        *p++ = char('0' + scale);
      }
      any = true;
    }
  }
  if (!any) {
    p = PutAddress(p, in.addrSize ? std::uint16_t(in.disp) : std::uint32_t(in.disp));
  } else if (in.dispSize) {
    std::int32_t d = in.disp;
    if (d < 0) {
      *p++ = '-';
      p = PutValue(p, std::uint32_t(0) - std::uint32_t(d));
    } else if (d > 0) {
      *p++ = '+';
      p = PutValue(p, std::uint32_t(d));
    }
  }
  *p++ = ']';
  return p;
}

// A general register of the operand size: 16-bit with the operand-size prefix (and no SSE
// prefix), else 32-bit.
char* PutRegV(char* p, const TInstruction& in, int index) {
  bool word = in.opSize && in.ssePrefix == 0;
  return PutRow(p, word ? kReg16[index] : kReg32[index], word ? 2 : 3);
}

int ModrmReg(const TInstruction& in) { return (in.modrm >> 3) & 7; }
int ModrmRm(const TInstruction& in) { return in.modrm & 7; }
bool ModrmIsRegister(const TInstruction& in) { return (in.modrm >> 6) == 3; }

template <std::size_t N>
char* PutNumbered(char* p, const char (&prefix)[N], int number) {
  p = Put(p, prefix);
  return Put(p, char('0' + number));
}

char* WriteOperand(char* p, const TInstruction& in, K k, bool firstImm, std::uint32_t& target) {
  // Each case reads only the fields it needs: this runs for every operand of every line.
  switch (k) {
    case K::Eb:
      return ModrmIsRegister(in) ? PutReg8(p, ModrmRm(in)) : WriteMemory(p, in, k);
    case K::Ew:
      return ModrmIsRegister(in) ? PutReg16(p, ModrmRm(in)) : WriteMemory(p, in, k);
    case K::Ev:
    case K::Ews:
      return ModrmIsRegister(in) ? PutRegV(p, in, ModrmRm(in)) : WriteMemory(p, in, k);
    case K::Ed:
      return ModrmIsRegister(in) ? PutReg32(p, ModrmRm(in)) : WriteMemory(p, in, k);
    case K::Gb:
      return PutReg8(p, ModrmReg(in));
    case K::Gw:
      return PutReg16(p, ModrmReg(in));
    case K::Gv:
      return PutRegV(p, in, ModrmReg(in));
    case K::Gd:
      return PutReg32(p, ModrmReg(in));
    case K::Rd:
      return PutReg32(p, ModrmRm(in));
    case K::Zb:
      return PutReg8(p, in.opcode & 7);
    case K::Zv:
      return PutRegV(p, in, in.opcode & 7);
    case K::Ib:
    case K::Iw:
    case K::Iz:
      return PutValue(p, firstImm ? in.imm : in.imm2);
    case K::Ibs: {
      std::int32_t v = std::int32_t(firstImm ? in.imm : in.imm2);
      if (v < 0) *p++ = '-';
      return PutValue(p, v < 0 ? std::uint32_t(0) - std::uint32_t(v) : std::uint32_t(v));
    }
    case K::Jb:
    case K::Jz: {
      target = in.target ? in.target : in.next + in.imm;
      std::int32_t d = std::int32_t(in.imm);
      *p++ = d < 0 ? '-' : '+';
      p = PutValue(p, d < 0 ? std::uint32_t(0) - std::uint32_t(d) : std::uint32_t(d));
      p = Put(p, " (");
      p = PutAddress(p, target);
      return Put(p, ')');
    }
    case K::Ap:
      *p++ = '$';
      p = text_detail::PutHex(p, in.imm2, text_detail::HexDigits(in.imm2, 1),
                              text_detail::kUpperHexPairs);
      *p++ = ':';
      return PutAddress(p, in.imm);
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
      return WriteMemory(p, in, k);
    case K::Sw:
      return PutSeg(p, ModrmReg(in));
    case K::Cd:
      return PutNumbered(p, "cr", ModrmReg(in));
    case K::Dd:
      return PutNumbered(p, "dr", ModrmReg(in));
    case K::AL:
      return Put(p, "al");
    case K::CL:
      return Put(p, "cl");
    case K::DX:
      return Put(p, "dx");
    case K::AX:
      return Put(p, "ax");
    case K::eAX:
      return PutRegV(p, in, 0);
    case K::One:
      return Put(p, '1');
    case K::ES:
      return Put(p, "es");
    case K::CS:
      return Put(p, "cs");
    case K::SS:
      return Put(p, "ss");
    case K::DS:
      return Put(p, "ds");
    case K::FS:
      return Put(p, "fs");
    case K::GS:
      return Put(p, "gs");
    case K::Pq:
      return PutNumbered(p, "mm", ModrmReg(in));
    case K::Qq:
      return ModrmIsRegister(in) ? PutNumbered(p, "mm", ModrmRm(in)) : WriteMemory(p, in, k);
    case K::Nq:
      return PutNumbered(p, "mm", ModrmRm(in));
    case K::Vx:
      return PutNumbered(p, "xmm", ModrmReg(in));
    case K::Wx:
    case K::Wq:
    case K::Wd:
      return ModrmIsRegister(in) ? PutNumbered(p, "xmm", ModrmRm(in)) : WriteMemory(p, in, k);
    case K::Ux:
      return PutNumbered(p, "xmm", ModrmRm(in));
    case K::ST0:
      return Put(p, "st");
    case K::STi:
      p = PutNumbered(p, "st(", ModrmRm(in));
      return Put(p, ')');
    case K::None:
      return p;
  }
  return p;
}

bool InImage(std::uint32_t base, std::uint32_t size, std::uint32_t v) {
  return v >= base && v < base + size && base + size - v > 100;
}

std::string TargetName(const IMemoryReader& reader, const TDisasmSymbols* symbols,
                       std::uint32_t target) {
  if (!symbols) return {};
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

// The string heuristic's view of each character: 0 ends the text, 1 rules it out, else one
// count in the byte of its kind: a (letters, digits, space) bits 8-15, b (",.:\") 16-23, c (the
// rest of "!" to "]") 24-31, d (all others) 32-39. At most 100 characters: a byte holds a count.
constexpr auto kTextCounts = [] {
  std::array<std::uint64_t, 256> t{};
  for (int ch = 0; ch < 256; ++ch) {
    std::uint64_t v = std::uint64_t(1) << 32;  // d
    if (ch == 0 || ch == 10 || ch == 12)
      v = 0;
    else if (ch < 32)
      v = 1;
    else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
             ch == ' ')
      v = std::uint64_t(1) << 8;
    else if (ch == ',' || ch == '.' || ch == ':' || ch == '\\')
      v = std::uint64_t(1) << 16;
    else if (ch >= '!' && ch <= ']')
      v = std::uint64_t(1) << 24;
    t[ch] = v;
  }
  return t;
}();

constexpr std::uint32_t kMaxText = 100;

// The string heuristic: text is set to the characters looked at (at most kMaxText; in place
// when the reader allows it, else copied to buf) and the result tells whether they look like
// text.
bool ScanText(const IMemoryReader& reader, std::uint32_t address, char* buf,
              std::string_view& text) {
  std::uint32_t available = 0;
  const std::uint8_t* direct = reader.Direct(address, available);
  std::uint64_t counts = 0;
  std::uint32_t i = 0;
  const char* chars = buf;
  if (direct && available >= kMaxText) {
    chars = reinterpret_cast<const char*>(direct);
    for (; i < kMaxText; ++i) {
      std::uint64_t k = kTextCounts[direct[i]];
      if (k <= 1) {
        if (k) {
          text = {chars, i};
          return false;
        }
        break;
      }
      counts += k;
    }
  } else {
    for (; i < kMaxText; ++i) {
      std::uint8_t ch = 0;
      if (i < available) {
        ch = direct[i];
      } else if (!reader.Read(address + i, &ch, 1)) {
        text = {chars, i};
        return false;
      }
      std::uint64_t k = kTextCounts[ch];
      if (k <= 1) {
        if (k) {
          text = {chars, i};
          return false;
        }
        break;
      }
      counts += k;
      buf[i] = char(ch);
    }
  }
  text = {chars, i};
  if (i < 4) return false;
  int a = int(counts >> 8) & 0xFF, b = int(counts >> 16) & 0xFF, c = int(counts >> 24) & 0xFF,
      d = int(counts >> 32) & 0xFF;
  int e = b / 2 + a;
  return b * 5 < a * 2 && c * 8 < e && d * 10 < e + c / 4;
}

// Pads the line to 40 and appends the comment; with parts, keeps it whole there too.
void PutComment(TTextBuffer& line, std::string comment, std::string* whole) {
  line.PadTo(40);
  line.Put(comment);
  if (whole) *whole = std::move(comment);
}

// Whether WriteComment has anything to look at: a named target, or a 32-bit displacement or
// immediate that may point into a module image.
bool MayHaveComment(const TInstruction& in, const TDisasmSymbols* symbols) {
  if (in.dispSize == 4) return true;
  if (in.immSize != 4) return false;
  if (symbols && (in.isCall || in.isJump) && in.target) return true;
  return !in.relativeTarget && in.opcode != 0x9A && in.opcode != 0xEA;
}

// The comment of an instruction with a 32-bit displacement or immediate: the name of its
// target, or the name or text a displacement or immediate points at.
void WriteComment(TTextBuffer& line, const IMemoryReader& reader, const TInstruction& in,
                  const TDisasmSymbols* symbols, std::string* whole) {
  if ((in.isCall || in.isJump) && in.target) {
    std::string name = TargetName(reader, symbols, in.target);
    if (!name.empty()) return PutComment(line, "  ; " + name, whole);
  }
  // A 32-bit displacement or immediate that points into a module image.
  std::uint32_t candidates[2] = {};
  bool isMemory[2] = {};
  int n = 0;
  if (in.dispSize == 4) {  // only memory operands and offsets have one
    candidates[n] = std::uint32_t(in.disp);
    isMemory[n++] = true;
  }
  if (in.immSize == 4 && !in.relativeTarget && in.opcode != 0x9A && in.opcode != 0xEA) {
    candidates[n] = in.imm;
    isMemory[n++] = false;
  }
  for (int i = 0; i < n; ++i) {
    std::uint32_t v = candidates[i];
    std::uint32_t base = 0, size = 0;
    if (!ModuleImageAt(reader, v, base, size) || !InImage(base, size, v)) continue;
    if (isMemory[i]) {
      std::uint32_t stored = 0;
      if (reader.Read(v, &stored, 4) && InImage(base, size, stored)) v = stored;
    }
    if (symbols) {
      std::string name = NameOfFunction(symbols, v);
      if (!name.empty()) return PutComment(line, "  ; " + name, whole);
    }
    char buf[kMaxText];
    std::string_view t;
    if (ScanText(reader, v, buf, t)) {
      line.PadTo(40);
      line.Put("  ; '");
      line.Put(t);
      line.Put('\'');
      if (whole) (*whole).assign("  ; '").append(t) += '\'';
      return;
    }
  }
}

}  // namespace

std::string ValueText(std::uint32_t value) {
  TTextBuffer out;
  out.Value(value);
  return out.str();
}

std::string NameOfFunction(const TDisasmSymbols* symbols, std::uint32_t address) {
  if (!symbols) return {};
  std::string name;
  if (symbols->exportNameAt) name = symbols->exportNameAt(address);
  if (name.empty() && symbols->functionNameAt) name = symbols->functionNameAt(address);
  return name;
}

bool LooksLikeText(const IMemoryReader& reader, std::uint32_t address, std::string& text) {
  char buf[kMaxText];
  std::string_view chars;
  bool looks = ScanText(reader, address, buf, chars);
  text.assign(chars);
  return looks;
}

std::string ComposeLine(const TInstructionText& parts) {
  std::string line = parts.head;
  if (!parts.operands.empty()) {
    if (line.size() < 19)
      line.append(19 - line.size(), ' ');
    else
      line += ' ';
    for (std::size_t i = 0; i < parts.operands.size(); ++i) {
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

TInstruction DecodeInstructionText(const IMemoryReader& reader, std::uint32_t address,
                                   TRegisterState* regs, const TDisasmSymbols* symbols,
                                   std::string& text, TInstructionText* parts) {
  TInstruction in = DecodeInstruction(reader, address, nullptr, regs);
  TTextBuffer line;
  line.Hex8(address);
  line.Put("   ");
  if (!in.valid) {
    std::uint8_t byte = 0;
    line.Put("db ");
    if (reader.Read(address, &byte, 1)) {
      line.Put('$');
      line.Hex(byte, 2, true);
    } else {
      line.Put("??");
    }
    text.assign(line.view());
    if (parts) {
      *parts = {};
      parts->head = text;
    }
    return in;
  }
  if (in.lock) line.Put("lock ");
  if (in.rep && in.opcode < 0x100) line.Put(in.rep == 0xF2 ? "repne " : "rep ");
  WriteMnemonic(line, in);
  if (parts) {
    *parts = {};
    parts->head = line.str();
  }
  bool firstImm = true, first = true;
  for (K k : in.op) {
    if (k == K::None) continue;
    if (first) {
      line.size() < 19 ? line.PadTo(19) : line.Put(' ');
      first = false;
    } else {
      line.Put(", ");
    }
    std::uint32_t target = 0;
    std::size_t from = line.size();
    if (line.room() >= kOperandRoom) {
      line.Advance(WriteOperand(line.end(), in, k, firstImm, target));
    } else {  // near the end of the line: written aside, then cut like any text
      char aside[kOperandRoom + TTextBuffer::kSpare];
      line.Put(std::string_view(aside,
                                std::size_t(WriteOperand(aside, in, k, firstImm, target) - aside)));
    }
    if (parts) {
      parts->operands.emplace_back(line.view().substr(from));
      parts->operandTarget.push_back(target);
    }
    if (k == K::Ib || k == K::Ibs || k == K::Iw || k == K::Iz) firstImm = false;
  }
  if (MayHaveComment(in, symbols))
    WriteComment(line, reader, in, symbols, parts ? &parts->comment : nullptr);
  text.clear();
  text.append(line.view());
  return in;
}

}  // namespace ostrel
