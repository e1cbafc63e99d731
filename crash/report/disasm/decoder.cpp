#include "crash/report/disasm/decoder.h"

#include <cstring>

#include "crash/report/disasm/opcode_table.h"

namespace ostrel {
namespace {

using K = TOperandKind;

constexpr int kMaxLength = 15;

// Reads up to 15 bytes; returns how many could be read from the start.
int FetchCopy(const IMemoryReader& reader, std::uint32_t address, const TDATryRead* snapshot,
              std::uint8_t* buf) {
  std::uint32_t room = 0xFFFFFFFFu - address + 1;
  int want = room < kMaxLength && room != 0 ? int(room) : kMaxLength;
  if (GuardedRead(reader, address, buf, want, snapshot)) return want;
  int n = 0;
  while (n < want && GuardedRead(reader, address + n, buf + n, 1, snapshot)) ++n;
  return n;
}

// Up to 15 bytes at address, read in place when the reader allows it; sets how many.
const std::uint8_t* Fetch(const IMemoryReader& reader, std::uint32_t address,
                          const TDATryRead* snapshot, std::uint8_t* buf, int& count) {
  if (!snapshot) {
    std::uint32_t available = 0;
    const std::uint8_t* direct = reader.Direct(address, available);
    if (direct && available >= kMaxLength) {
      count = kMaxLength;
      return direct;
    }
  }
  count = FetchCopy(reader, address, snapshot, buf);
  return buf;
}

int ImmediateSize(K k, bool opSize) {
  switch (k) {
    case K::Ib:
    case K::Ibs:
    case K::Jb:
      return 1;
    case K::Iw:
      return 2;
    case K::Iz:
    case K::Jz:
      return opSize ? 2 : 4;
    default:
      return 0;
  }
}

std::uint32_t Little(const std::uint8_t* p, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

std::int32_t SignExtend(std::uint32_t v, int size) {
  if (size == 1) return std::int8_t(v);
  if (size == 2) return std::int16_t(v);
  return std::int32_t(v);
}

// General register written by an operand, -1 when the operand is none.
int WrittenRegister(const TInstruction& in, K k) {
  std::uint8_t mod = in.modrm >> 6, reg = (in.modrm >> 3) & 7, rm = in.modrm & 7;
  switch (k) {
    case K::Gb:
      return reg & 3;
    case K::Gw:
    case K::Gv:
    case K::Gd:
      return reg;
    case K::Eb:
      return mod == 3 ? rm & 3 : -1;
    case K::Ew:
    case K::Ev:
    case K::Ed:
    case K::Ews:
      return mod == 3 ? rm : -1;
    case K::Rd:
      return rm;
    case K::Zb:
      return (in.opcode & 7) & 3;
    case K::Zv:
      return in.opcode & 7;
    case K::AL:
    case K::eAX:
      return 0;
    default:
      return -1;
  }
}

const TOpcode kMonitor = {"monitor", {}, 0, 0, 0, 7};
const TOpcode kMwait = {"mwait", {}, 0, 0, 0, 5};
const TOpcode kXgetbv = {"xgetbv", {}, 0, 0, kEax | kEdx, 6};
const TOpcode kRdtscp = {"rdtscp", {}, 0, 0, kEax | kEcx | kEdx, 6};

}  // namespace

namespace {

// An invalid instruction: one byte long, and nothing is known about the registers after it.
void Invalidate(TInstruction& in, std::uint32_t address, TRegisterState* regs) {
  in = TInstruction{};
  in.address = address;
  in.next = address + 1;
  in.length = 1;
  if (regs) *regs = TRegisterState{};
}

}  // namespace

TInstruction DecodeInstruction(const IMemoryReader& reader, std::uint32_t address,
                               const TDATryRead* snapshot, TRegisterState* regs) {
  TInstruction in;
  in.address = address;
  std::uint8_t copy[16];
  int avail = 0;
  const std::uint8_t* b = Fetch(reader, address, snapshot, copy, avail);
  // Through the function: the reporter decodes before static initialisation.
  const TOpcodeTables& t = OpcodeTables();
  int pos = 0;

  // Prefixes.
  std::uint8_t c = 0;
  for (;;) {
    if (pos >= avail) {
      Invalidate(in, address, regs);
      return in;
    }
    c = b[pos];
    if (c == 0x66) {
      in.opSize = true;
    } else if (c == 0x67) {
      in.addrSize = true;
    } else if (c == 0xF0) {
      in.lock = true;
    } else if (c == 0xF2 || c == 0xF3) {
      in.rep = c;
    } else if (c == 0x26 || c == 0x2E || c == 0x36 || c == 0x3E || c == 0x64 || c == 0x65) {
      in.segment = c;
    } else {
      break;
    }
    ++pos;
  }
  ++pos;
  const TOpcode* e;
  if (c == 0x0F) {
    if (pos >= avail) {
      Invalidate(in, address, regs);
      return in;
    }
    c = b[pos++];
    in.opcode = 0x0F00 + c;
    e = &t.twoByte[c];
    if (e->flags & kFlagSse) {
      in.ssePrefix = in.rep == 0xF2 ? 2 : in.rep == 0xF3 ? 3 : in.opSize ? 1 : 0;
      e = &t.sse[c][in.ssePrefix];
    }
  } else {
    in.opcode = c;
    e = &t.oneByte[c];
  }
  if (!e->name) {
    Invalidate(in, address, regs);
    return in;
  }

  const bool needModrm = (e->flags & (kFlagModrm | kFlagGroup | kFlagX87)) != 0;
  std::uint8_t mod = 0, reg = 0, rm = 0;
  if (needModrm) {
    if (pos >= avail) {
      Invalidate(in, address, regs);
      return in;
    }
    in.modrm = b[pos++];
    in.hasModrm = true;
    mod = in.modrm >> 6;
    reg = (in.modrm >> 3) & 7;
    rm = in.modrm & 7;
  }
  TOpcode local;
  if (e->flags & kFlagGroup) {
    const TOpcode* base = e;
    int g = e->group;
    if (g >= 13 && g <= 15) {
      // MMX/SSE2 shifts by immediate: [reg] holds the 66 forms, [8 + reg] the MMX ones.
      if (mod != 3 || in.rep) {
        Invalidate(in, address, regs);
        return in;
      }
      in.ssePrefix = in.opSize ? 1 : 0;
      e = &t.groups[g][in.opSize ? reg : 8 + reg];
    } else if (g == 10 && mod == 3 && reg != 4 && reg != 6) {
      if (in.opSize || in.rep) {
        Invalidate(in, address, regs);
        return in;
      }
      if (reg == 1 && rm == 0)
        e = &kMonitor;
      else if (reg == 1 && rm == 1)
        e = &kMwait;
      else if (reg == 2 && rm == 0)
        e = &kXgetbv;
      else if (reg == 7 && rm == 1)
        e = &kRdtscp;
      else {
        Invalidate(in, address, regs);
        return in;
      }
    } else {
      // 0F AE takes no prefix: with one it encodes later extensions.
      if (g == 16 && (in.opSize || in.rep)) {
        Invalidate(in, address, regs);
        return in;
      }
      e = &t.groups[g][(mod == 3 ? 8 : 0) + reg];
    }
    if (!e->name) {
      Invalidate(in, address, regs);
      return in;
    }
    if (e->op[0] == K::None && base->op[0] != K::None) {
      local = *e;
      for (int i = 0; i < 3; ++i) local.op[i] = base->op[i];
      local.flags |= base->flags & (kFlagMemOnly | kFlagRegOnly | kFlagImm | kFlagCheckReg);
      e = &local;
    }
  } else if (e->flags & kFlagX87) {
    e = mod == 3 ? &t.x87Reg[c - 0xD8][in.modrm - 0xC0] : &t.x87Mem[c - 0xD8][reg];
    if (!e->name) {
      Invalidate(in, address, regs);
      return in;
    }
    in.x87 = 1;
  }

  if (needModrm) {
    if ((e->flags & kFlagMemOnly) && mod == 3) {
      Invalidate(in, address, regs);
      return in;
    }
    if ((e->flags & kFlagRegOnly) && mod != 3) {
      Invalidate(in, address, regs);
      return in;
    }
    if (e->flags & kFlagCheckReg) {
      for (K k : e->op) {
        if (k == K::Cd && (reg == 1 || reg > 4)) {
          Invalidate(in, address, regs);
          return in;
        }
        if (k == K::Sw && (reg > 5 || (reg == 1 && in.opcode == 0x8E))) {
          Invalidate(in, address, regs);
          return in;
        }
      }
    }
  }

  // Address part of the ModRM operand; control and debug register moves ignore mod.
  const bool forceRegister = e->op[0] == K::Rd || e->op[1] == K::Rd;
  if (needModrm && mod != 3 && !forceRegister) {
    int dispSize = 0;
    if (in.addrSize) {
      if (mod == 0 && rm == 6)
        dispSize = 2;
      else if (mod == 1)
        dispSize = 1;
      else if (mod == 2)
        dispSize = 2;
    } else {
      if (rm == 4) {
        if (pos >= avail) {
          Invalidate(in, address, regs);
          return in;
        }
        in.sib = b[pos++];
        in.hasSib = true;
        if ((in.sib & 7) == 5 && mod == 0) dispSize = 4;
      }
      if (mod == 0 && rm == 5)
        dispSize = 4;
      else if (mod == 1)
        dispSize = 1;
      else if (mod == 2)
        dispSize = 4;
    }
    if (pos + dispSize > avail) {
      Invalidate(in, address, regs);
      return in;
    }
    in.dispSize = std::uint8_t(dispSize);
    in.dispAddress = address + pos;
    in.disp = SignExtend(Little(b + pos, dispSize), dispSize);
    pos += dispSize;
  }

  if (e->flags & kFlag3DNow) {
    if (pos >= avail) {
      Invalidate(in, address, regs);
      return in;
    }
    in.suffix = b[pos++];
    const char* name = t.amd3DNow[in.suffix];
    if (!name) {
      Invalidate(in, address, regs);
      return in;
    }
    local = *e;
    local.name = name;
    local.nameLength = 0;  // counted by the text
    e = &local;
  }

  // Immediates, moffs and far pointers.
  bool firstImm = true;
  for (K k : e->op) {
    if (!(e->flags & kFlagImm)) break;
    if (k == K::Ob || k == K::Ov) {
      int size = in.addrSize ? 2 : 4;
      if (pos + size > avail) {
        Invalidate(in, address, regs);
        return in;
      }
      in.dispSize = std::uint8_t(size);
      in.dispAddress = address + pos;
      in.disp = std::int32_t(Little(b + pos, size));
      pos += size;
      continue;
    }
    if (k == K::Ap) {
      int size = in.opSize ? 2 : 4;
      if (pos + size + 2 > avail) {
        Invalidate(in, address, regs);
        return in;
      }
      in.immAddress = address + pos;
      in.imm = Little(b + pos, size);
      in.immSize = std::uint8_t(size);
      in.imm2 = Little(b + pos + size, 2);
      pos += size + 2;
      continue;
    }
    int size = ImmediateSize(k, in.opSize);
    if (!size) continue;
    if (pos + size > avail) {
      Invalidate(in, address, regs);
      return in;
    }
    std::uint32_t v = Little(b + pos, size);
    if (firstImm) {
      in.immAddress = address + pos;
      in.immSize = std::uint8_t(size);
      in.imm = (k == K::Ibs || k == K::Jb || k == K::Jz) ? std::uint32_t(SignExtend(v, size)) : v;
      firstImm = false;
    } else {
      in.imm2 = v;
    }
    pos += size;
  }
  if (pos > kMaxLength) {
    Invalidate(in, address, regs);
    return in;
  }

  in.valid = true;
  in.length = std::uint8_t(pos);
  in.next = address + pos;
  in.mnemonic = e->name;
  in.mnemonicLength = e->nameLength;
  in.flags = e->flags;
  for (int i = 0; i < 3; ++i) in.op[i] = e->op[i];
  in.isCall = (e->flags & kFlagCall) != 0;
  in.isJump = (e->flags & kFlagJump) != 0;

  // Targets.
  if (e->op[0] == K::Jb || e->op[0] == K::Jz) {
    in.relativeTarget = true;
    in.targetField = in.immAddress;
    in.targetSize = in.immSize;
    in.target = in.next + in.imm;
    in.enlargeable = !(in.opcode >= 0xE0 && in.opcode <= 0xE3);
  } else if (in.opcode == 0xFF && reg >= 2 && reg <= 5) {
    in.targetSize = 4;
    if (IsAbsoluteMemory(in)) {
      std::uint32_t pointer =
          in.addrSize ? std::uint32_t(std::uint16_t(in.disp)) : std::uint32_t(in.disp);
      in.targetField = pointer;
      in.targetPointer = pointer;
      std::uint32_t target = 0;
      if (!GuardedRead(reader, pointer, &target, 4, snapshot)) {
        Invalidate(in, address, regs);
        return in;
      }
      in.target = target;
    } else if (regs && mod == 3) {
      in.target = regs->reg[rm];
    } else if (regs && mod == 0 && MemoryBase(in) >= 0 && MemoryIndex(in) < 0) {
      std::uint32_t pointer = regs->reg[MemoryBase(in)];
      std::uint32_t target = 0;
      if (pointer && GuardedRead(reader, pointer, &target, 4, snapshot)) {
        in.targetField = pointer;
        in.targetPointer = pointer;
        in.target = target;
      }
    }
  }
  if ((in.isCall || in.isJump) && in.target != 0 && in.target == in.next) {
    in.isCall = in.isJump = in.relativeTarget = in.enlargeable = false;
    in.target = in.targetField = in.targetPointer = 0;
    in.targetSize = 0;
  }

  // Register state.
  if (regs) {
    TRegisterState& r = *regs;
    if (in.opcode >= 0xB8 && in.opcode <= 0xBF && !in.opSize) {
      r.reg[in.opcode & 7] = in.imm;
    } else if (in.opcode == 0xC7 && mod == 3 && !in.opSize) {
      r.reg[rm] = in.imm;
    } else if (in.opcode == 0x8B && mod == 3 && !in.opSize) {
      r.reg[reg] = r.reg[rm];
    } else {
      std::uint8_t mask = e->implicit;
      if ((e->flags & kFlagString) && in.rep) mask |= kEcx;
      if (!(e->flags & kFlagNoWrite)) {
        int w = WrittenRegister(in, e->op[0]);
        if (w >= 0) mask |= std::uint8_t(1u << w);
      }
      if (e->flags & kFlagWrite1) {
        int w = WrittenRegister(in, e->op[1]);
        if (w >= 0) mask |= std::uint8_t(1u << w);
      }
      for (int i = 0; i < 8; ++i)
        if (mask & (1u << i)) r.reg[i] = 0;
    }
  }
  return in;
}

}  // namespace ostrel
