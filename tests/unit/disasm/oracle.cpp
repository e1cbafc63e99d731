#include "tests/unit/disasm/oracle.h"

#include <Zydis/Zydis.h>
#include <capstone/capstone.h>

#include <cstdio>
#include <sstream>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/memory_image.h"

namespace ostrel::test {
namespace {

struct TAllowed {
  const char* cls;
  const char* reason;
};

// Every accepted class of disagreement with Zydis, and why the rules here differ.
const TAllowed kAllowList[] = {
    {"extension",
     "Zydis decodes instruction-set extensions beyond IA-32 with x87, MMX, SSE, SSE2, SSE3 "
     "and 3DNow! (SSSE3, SSE4, AES, SHA, VMX, SVM, TSX, RDRAND, POPCNT, padlock, ...); "
     "they are undefined in these tables and so invalid"},
    {"vex",
     "C4/C5/62/8F with a register-form ModRM are VEX/EVEX/XOP prefixes to Zydis; in IA-32 "
     "they are les/lds/bound/pop, whose register forms are invalid"},
    {"x87-alias",
     "undocumented x87 register forms (fcom2, fxch4, fstp1, ffreep, feni, ...): undefined x87 "
     "register forms are invalid here"},
    {"salc", "D6 (salc) is undocumented and undefined in the IA-32 opcode map"},
    {"lock",
     "lock on an instruction that cannot be locked: Zydis rejects it; lock is consumed here "
     "as a plain prefix and only shown in the text"},
    {"unreadable-pointer",
     "indirect call or jump through an absolute pointer that cannot be read: invalid by the "
     "rule here, Zydis does not read memory"},
    {"mpx",
     "0F 1A/0F 1B are MPX bound-register instructions to Zydis (which rejects bnd4..7); here "
     "they are hint NOPs of the 0F 18..0F 1F block"},
    {"rel16-target",
     "66-prefixed relative transfer: Zydis truncates the target to 16 bits, here the target is "
     "next instruction + displacement"},
    {"too-long",
     "an instruction longer than 15 bytes whose first 15 bytes Zydis and this decoder read "
     "differently only in where they stop"},
};

bool InOurSet(int ext) {
  switch (ext) {
    case ZYDIS_ISA_EXT_BASE:
    case ZYDIS_ISA_EXT_X87:
    case ZYDIS_ISA_EXT_MMX:
    case ZYDIS_ISA_EXT_SSE:
    case ZYDIS_ISA_EXT_SSE2:
    case ZYDIS_ISA_EXT_SSE3:
    case ZYDIS_ISA_EXT_AMD3DNOW:
    case ZYDIS_ISA_EXT_AMD3DNOW_PREFETCH:
      return true;
    default:
      return false;
  }
}

size_t SkipPrefixes(const std::uint8_t* b, size_t size) {
  size_t i = 0;
  while (i < size) {
    switch (b[i]) {
      case 0x66:
      case 0x67:
      case 0xF0:
      case 0xF2:
      case 0xF3:
      case 0x26:
      case 0x2E:
      case 0x36:
      case 0x3E:
      case 0x64:
      case 0x65:
        ++i;
        continue;
      default:
        return i;
    }
  }
  return i;
}

std::string Hex(const std::uint8_t* b, size_t n) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02x", b[i]);
    if (i) s += ' ';
    s += buf;
  }
  return s;
}

}  // namespace

TOracleResult ZydisDecode(const std::uint8_t* bytes, size_t size, std::uint32_t address) {
  static const ZydisDecoder decoder = [] {
    ZydisDecoder d;
    ZydisDecoderInit(&d, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
    return d;
  }();
  TOracleResult r;
  ZydisDecodedInstruction insn;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
  if (!ZYAN_SUCCESS(ZydisDecoderDecodeFull(&decoder, bytes, size, &insn, ops))) return r;
  r.valid = true;
  r.length = insn.length;
  r.mnemonic = ZydisMnemonicGetString(insn.mnemonic);
  r.isaExt = insn.meta.isa_ext;
  r.legacyEncoding = insn.encoding == ZYDIS_INSTRUCTION_ENCODING_LEGACY ||
                     insn.encoding == ZYDIS_INSTRUCTION_ENCODING_3DNOW;
  if (insn.attributes & ZYDIS_ATTRIB_IS_RELATIVE) {
    for (int i = 0; i < insn.operand_count_visible; ++i) {
      if (ops[i].type == ZYDIS_OPERAND_TYPE_IMMEDIATE && ops[i].imm.is_relative) {
        ZyanU64 target = 0;
        if (ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(&insn, &ops[i], address, &target))) {
          r.hasTarget = true;
          r.target = std::uint32_t(target);
        }
      }
    }
  }
  return r;
}

TOracleResult CapstoneDecode(const std::uint8_t* bytes, size_t size, std::uint32_t address) {
  TOracleResult r;
  csh handle;
  if (cs_open(CS_ARCH_X86, CS_MODE_32, &handle) != CS_ERR_OK) return r;
  cs_insn* insn = nullptr;
  size_t n = cs_disasm(handle, bytes, size, address, 1, &insn);
  if (n == 1) {
    r.valid = true;
    r.length = insn[0].size;
    r.mnemonic = insn[0].mnemonic;
    cs_free(insn, n);
  }
  cs_close(&handle);
  return r;
}

// The undocumented x87 register forms, by value: first byte and the range
// of ModRM bytes. Any other register form the two decoders disagree on is
// a fault.
struct TX87Alias {
  std::uint8_t op, first, last;
};
constexpr TX87Alias kX87Aliases[] = {
    {0xD9, 0xD8, 0xDF},  // fstp1
    {0xDB, 0xE0, 0xE1},  // feni, fdisi (8087)
    {0xDB, 0xE4, 0xE4},  // fsetpm (287)
    {0xDC, 0xD0, 0xDF},  // fcom2, fcomp3
    {0xDD, 0xC8, 0xCF},  // fxch4
    {0xDE, 0xD0, 0xD7},  // fcomp5
    {0xDF, 0xC0, 0xC7},  // ffreep
    {0xDF, 0xC8, 0xCF},  // fxch7
    {0xDF, 0xD0, 0xDF},  // fstp8, fstp9
};

bool IsX87Alias(std::uint8_t op, std::uint8_t modrm) {
  for (const TX87Alias& a : kX87Aliases) {
    if (op == a.op && modrm >= a.first && modrm <= a.last) return true;
  }
  return false;
}

const char* AllowedReason(const std::string& cls) {
  for (const TAllowed& a : kAllowList)
    if (cls == a.cls) return a.reason;
  return nullptr;
}

std::string Classify(const std::uint8_t* bytes, size_t size, const TInstruction& ours,
                     const TOracleResult& zydis) {
  bool lengthOk = !ours.valid || ours.length == zydis.length;
  bool targetOk = true;
  if (ours.valid && zydis.valid && zydis.hasTarget) {
    bool toNext = zydis.target == ours.next && !ours.isCall && !ours.isJump;
    targetOk = toNext || ours.target == zydis.target;
  }
  if (ours.valid == zydis.valid && lengthOk && targetOk) return {};

  size_t p = SkipPrefixes(bytes, size);
  std::uint8_t op = p < size ? bytes[p] : 0;
  std::uint8_t op2 = p + 1 < size ? bytes[p + 1] : 0;
  std::uint8_t op3 = p + 2 < size ? bytes[p + 2] : 0;
  bool hasLock = false, hasOpSize = false;
  for (size_t i = 0; i < p; ++i) {
    hasLock |= bytes[i] == 0xF0;
    hasOpSize |= bytes[i] == 0x66;
  }
  if (ours.valid && zydis.valid && lengthOk && !targetOk && hasOpSize) return "rel16-target";
  if (!ours.valid && zydis.valid) {
    if (!zydis.legacyEncoding) return "vex";
    if (!InOurSet(zydis.isaExt) || zydis.mnemonic == "syscall" || zydis.mnemonic == "sysret")
      return "extension";
    if (op == 0xD6) return "salc";
    if (IsX87Alias(op, op2)) return "x87-alias";
    if (op == 0xFF && ((op2 >> 3) & 7) >= 2 && ((op2 >> 3) & 7) <= 5) {
      bool absolute32 = (op2 & 0xC7) == 0x05 || ((op2 & 0xC7) == 0x04 && (op3 & 0x3F) == 0x25);
      bool absolute16 = (op2 & 0xC7) == 0x06;
      if (absolute32 || absolute16) return "unreadable-pointer";
    }
  }
  if (op == 0x0F && (op2 == 0x1A || op2 == 0x1B)) return "mpx";
  if (ours.valid && !zydis.valid && hasLock) {
    // Without the lock prefix both must agree again.
    std::vector<std::uint8_t> rest;
    for (size_t i = 0; i < size; ++i)
      if (!(i < p && bytes[i] == 0xF0)) rest.push_back(bytes[i]);
    TOracleResult z = ZydisDecode(rest.data(), rest.size(), 0x1000);
    if (z.valid) return "lock";
  }
  return "unexplained";
}

int TTally::Compare(const std::uint8_t* bytes, size_t size, std::uint32_t address,
                    bool withCapstone, const IMemoryReader* memory) {
  TMemoryImage image;
  if (!memory) {
    image.Add(address, std::vector<std::uint8_t>(bytes, bytes + size));
    memory = &image;
  }
  TInstruction ours = DecodeInstruction(*memory, address, nullptr, nullptr);
  TOracleResult z = ZydisDecode(bytes, size, address);
  ++total;
  std::string cls = Classify(bytes, size, ours, z);
  if (cls.empty()) {
    ++agree;
  } else {
    ++classes[cls];
    int n = z.valid ? z.length : ours.length;
    std::string sample =
        Hex(bytes, size_t(n) < size ? size_t(n) : size) +
        " (zydis: " + (z.valid ? z.mnemonic + " len " + std::to_string(z.length) : "invalid") +
        ", ours: " + (ours.valid ? "len " + std::to_string(ours.length) : "invalid") + ")";
    if (!samples.count(cls)) samples[cls] = sample;
    if (!AllowedReason(cls) && unexplained.size() < 50) unexplained.push_back(sample);
  }
  if (withCapstone) {
    TOracleResult c = CapstoneDecode(bytes, size, address);
    ++capstoneTotal;
    if (c.valid == ours.valid && (!c.valid || c.length == ours.length)) ++capstoneAgree;
  }
  if (z.valid) return z.length;
  return ours.valid ? ours.length : 1;
}

std::string TTally::Report(const std::string& title) const {
  std::ostringstream s;
  s.setf(std::ios::fixed);
  s.precision(4);
  s << title << ": " << total << " decodes, agreement with Zydis "
    << (total ? 100.0 * agree / total : 0.0) << " %";
  if (capstoneTotal)
    s << ", with Capstone (second opinion) " << 100.0 * capstoneAgree / capstoneTotal << " %";
  s << "\n";
  for (const auto& [cls, count] : classes) {
    const char* reason = AllowedReason(cls);
    s << "  " << cls << ": " << count << "  e.g. " << samples.at(cls) << "\n    "
      << (reason ? reason : "NOT EXPLAINED") << "\n";
  }
  return s.str();
}

}  // namespace ostrel::test
