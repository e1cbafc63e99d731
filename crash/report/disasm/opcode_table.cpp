#include "crash/report/disasm/opcode_table.h"

#include <cstring>
#include <initializer_list>

namespace ostrel {
namespace {

using K = TOperandKind;

constexpr std::uint32_t kM = kFlagModrm;

}  // namespace

std::uint32_t OperandFlags(K k) {
  switch (k) {
    case K::M:
    case K::Mb:
    case K::Mw:
    case K::Md:
    case K::Mq:
    case K::Mt:
    case K::Mo:
    case K::Mp:
      return kFlagMemOnly;
    case K::Nq:
    case K::Ux:
      return kFlagRegOnly;
    case K::Ib:
    case K::Ibs:
    case K::Iw:
    case K::Iz:
    case K::Jb:
    case K::Jz:
    case K::Ap:
    case K::Ob:
    case K::Ov:
      return kFlagImm;
    case K::Sw:
    case K::Cd:
      return kFlagCheckReg;
    default:
      return 0;
  }
}

namespace {

void Set(TOpcode& e, const char* name, K a = K::None, K b = K::None, K c = K::None,
         std::uint32_t flags = 0, std::uint8_t implicit = 0) {
  e.name = name;
  e.op[0] = a;
  e.op[1] = b;
  e.op[2] = c;
  e.flags = flags;
  e.implicit = implicit;
  std::size_t length = name ? std::strlen(name) : 0;
  e.nameLength = std::uint8_t(length < 256 ? length : 0);
  if (UsesModrm(a) || UsesModrm(b) || UsesModrm(c)) e.flags |= kM;
  e.flags |= OperandFlags(a) | OperandFlags(b) | OperandFlags(c);
  for (const char* n = name; n && *n; ++n) {
    if (*n == '|') e.flags |= kFlagNameBar;
    if (*n == '/') e.flags |= kFlagNameSlash;
    if (*n == '|' || *n == '/' || *n == '%' || *n == 'P' || *n == 'S') e.flags |= kFlagNameCoded;
  }
}

void Group(TOpcode& e, std::uint8_t group, K a = K::None, K b = K::None, K c = K::None) {
  Set(e, "", a, b, c, kFlagGroup | kM);
  e.group = group;
}

// Both forms of a group member.
void Member(TOpcodeTables& t, int g, int reg, const char* name, K a = K::None, K b = K::None,
            K c = K::None, std::uint32_t flags = 0, std::uint8_t implicit = 0) {
  Set(t.groups[g][reg], name, a, b, c, flags, implicit);
  Set(t.groups[g][8 + reg], name, a, b, c, flags, implicit);
}

void BuildOneByte(TOpcodeTables& t) {
  TOpcode* o = t.oneByte;
  static const char* const kArith[8] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};
  for (int i = 0; i < 8; ++i) {
    std::uint32_t nw = i == 7 ? std::uint32_t(kFlagNoWrite) : 0u;
    Set(o[i * 8 + 0], kArith[i], K::Eb, K::Gb, K::None, nw);
    Set(o[i * 8 + 1], kArith[i], K::Ev, K::Gv, K::None, nw);
    Set(o[i * 8 + 2], kArith[i], K::Gb, K::Eb, K::None, nw);
    Set(o[i * 8 + 3], kArith[i], K::Gv, K::Ev, K::None, nw);
    Set(o[i * 8 + 4], kArith[i], K::AL, K::Ib, K::None, nw);
    Set(o[i * 8 + 5], kArith[i], K::eAX, K::Iz, K::None, nw);
  }
  Set(o[0x06], "push", K::ES, K::None, K::None, 0, kEsp);
  Set(o[0x07], "pop", K::ES, K::None, K::None, 0, kEsp);
  Set(o[0x0E], "push", K::CS, K::None, K::None, 0, kEsp);
  Set(o[0x16], "push", K::SS, K::None, K::None, 0, kEsp);
  Set(o[0x17], "pop", K::SS, K::None, K::None, 0, kEsp);
  Set(o[0x1E], "push", K::DS, K::None, K::None, 0, kEsp);
  Set(o[0x1F], "pop", K::DS, K::None, K::None, 0, kEsp);
  for (int p : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3})
    Set(o[p], "", K::None, K::None, K::None, kFlagPrefix);
  Set(o[0x27], "daa", K::None, K::None, K::None, 0, kEax);
  Set(o[0x2F], "das", K::None, K::None, K::None, 0, kEax);
  Set(o[0x37], "aaa", K::None, K::None, K::None, 0, kEax);
  Set(o[0x3F], "aas", K::None, K::None, K::None, 0, kEax);
  for (int r = 0; r < 8; ++r) {
    Set(o[0x40 + r], "inc", K::Zv);
    Set(o[0x48 + r], "dec", K::Zv);
    Set(o[0x50 + r], "push", K::Zv, K::None, K::None, kFlagNoWrite, kEsp);
    Set(o[0x58 + r], "pop", K::Zv, K::None, K::None, 0, kEsp);
    Set(o[0xB0 + r], "mov", K::Zb, K::Ib);
    Set(o[0xB8 + r], "mov", K::Zv, K::Iz);
    Set(o[0x70 + r * 2], "j%cc", K::Jb, K::None, K::None, kFlagJump);
    Set(o[0x71 + r * 2], "j%cc", K::Jb, K::None, K::None, kFlagJump);
  }
  for (int r = 1; r < 8; ++r) Set(o[0x90 + r], "xchg", K::Zv, K::eAX, K::None, kFlagWrite1);
  Set(o[0x60], "pushad|pushaw", K::None, K::None, K::None, 0, kEsp);
  Set(o[0x61], "popad|popaw", K::None, K::None, K::None, 0, 0xFF);
  Set(o[0x62], "bound", K::Gv, K::M, K::None, kFlagNoWrite);
  Set(o[0x63], "arpl", K::Ew, K::Gw);
  Set(o[0x68], "push", K::Iz, K::None, K::None, 0, kEsp);
  Set(o[0x69], "imul", K::Gv, K::Ev, K::Iz);
  Set(o[0x6A], "push", K::Ibs, K::None, K::None, 0, kEsp);
  Set(o[0x6B], "imul", K::Gv, K::Ev, K::Ibs);
  Set(o[0x6C], "insb", K::None, K::None, K::None, kFlagString, kEdi);
  Set(o[0x6D], "insd|insw", K::None, K::None, K::None, kFlagString, kEdi);
  Set(o[0x6E], "outsb", K::None, K::None, K::None, kFlagString, kEsi);
  Set(o[0x6F], "outsd|outsw", K::None, K::None, K::None, kFlagString, kEsi);
  Group(o[0x80], 0, K::Eb, K::Ib);
  Group(o[0x81], 0, K::Ev, K::Iz);
  Group(o[0x82], 0, K::Eb, K::Ib);
  Group(o[0x83], 0, K::Ev, K::Ibs);
  Set(o[0x84], "test", K::Eb, K::Gb, K::None, kFlagNoWrite);
  Set(o[0x85], "test", K::Ev, K::Gv, K::None, kFlagNoWrite);
  Set(o[0x86], "xchg", K::Eb, K::Gb, K::None, kFlagWrite1);
  Set(o[0x87], "xchg", K::Ev, K::Gv, K::None, kFlagWrite1);
  Set(o[0x88], "mov", K::Eb, K::Gb);
  Set(o[0x89], "mov", K::Ev, K::Gv);
  Set(o[0x8A], "mov", K::Gb, K::Eb);
  Set(o[0x8B], "mov", K::Gv, K::Ev);
  Set(o[0x8C], "mov", K::Ews, K::Sw);
  Set(o[0x8D], "lea", K::Gv, K::M);
  Set(o[0x8E], "mov", K::Sw, K::Ews);
  Group(o[0x8F], 6, K::Ev);
  Set(o[0x90], "nop");
  Set(o[0x98], "cwde|cbw", K::None, K::None, K::None, 0, kEax);
  Set(o[0x99], "cdq|cwd", K::None, K::None, K::None, 0, kEdx);
  Set(o[0x9A], "call", K::Ap, K::None, K::None, kFlagCall | kFlagFar, kEsp | kEax | kEcx | kEdx);
  Set(o[0x9B], "wait");
  Set(o[0x9C], "pushfd|pushfw", K::None, K::None, K::None, 0, kEsp);
  Set(o[0x9D], "popfd|popfw", K::None, K::None, K::None, 0, kEsp);
  Set(o[0x9E], "sahf");
  Set(o[0x9F], "lahf", K::None, K::None, K::None, 0, kEax);
  Set(o[0xA0], "mov", K::AL, K::Ob);
  Set(o[0xA1], "mov", K::eAX, K::Ov);
  Set(o[0xA2], "mov", K::Ob, K::AL);
  Set(o[0xA3], "mov", K::Ov, K::eAX);
  Set(o[0xA4], "movsb", K::None, K::None, K::None, kFlagString, kEsi | kEdi);
  Set(o[0xA5], "movsd|movsw", K::None, K::None, K::None, kFlagString, kEsi | kEdi);
  Set(o[0xA6], "cmpsb", K::None, K::None, K::None, kFlagString, kEsi | kEdi);
  Set(o[0xA7], "cmpsd|cmpsw", K::None, K::None, K::None, kFlagString, kEsi | kEdi);
  Set(o[0xA8], "test", K::AL, K::Ib, K::None, kFlagNoWrite);
  Set(o[0xA9], "test", K::eAX, K::Iz, K::None, kFlagNoWrite);
  Set(o[0xAA], "stosb", K::None, K::None, K::None, kFlagString, kEdi);
  Set(o[0xAB], "stosd|stosw", K::None, K::None, K::None, kFlagString, kEdi);
  Set(o[0xAC], "lodsb", K::None, K::None, K::None, kFlagString, kEsi | kEax);
  Set(o[0xAD], "lodsd|lodsw", K::None, K::None, K::None, kFlagString, kEsi | kEax);
  Set(o[0xAE], "scasb", K::None, K::None, K::None, kFlagString, kEdi);
  Set(o[0xAF], "scasd|scasw", K::None, K::None, K::None, kFlagString, kEdi);
  Group(o[0xC0], 1, K::Eb, K::Ib);
  Group(o[0xC1], 1, K::Ev, K::Ib);
  Set(o[0xC2], "ret", K::Iw, K::None, K::None, 0, kEsp);
  Set(o[0xC3], "ret", K::None, K::None, K::None, 0, kEsp);
  Set(o[0xC4], "les", K::Gv, K::Mp);
  Set(o[0xC5], "lds", K::Gv, K::Mp);
  Group(o[0xC6], 7, K::Eb, K::Ib);
  Group(o[0xC7], 8, K::Ev, K::Iz);
  Set(o[0xC8], "enter", K::Iw, K::Ib, K::None, 0, kEsp | kEbp);
  Set(o[0xC9], "leave", K::None, K::None, K::None, 0, kEsp | kEbp);
  Set(o[0xCA], "retf", K::Iw, K::None, K::None, 0, kEsp);
  Set(o[0xCB], "retf", K::None, K::None, K::None, 0, kEsp);
  Set(o[0xCC], "int3");
  Set(o[0xCD], "int", K::Ib);
  Set(o[0xCE], "into");
  Set(o[0xCF], "iretd|iretw", K::None, K::None, K::None, 0, kEsp);
  Group(o[0xD0], 1, K::Eb, K::One);
  Group(o[0xD1], 1, K::Ev, K::One);
  Group(o[0xD2], 1, K::Eb, K::CL);
  Group(o[0xD3], 1, K::Ev, K::CL);
  Set(o[0xD4], "aam", K::Ib, K::None, K::None, 0, kEax);
  Set(o[0xD5], "aad", K::Ib, K::None, K::None, 0, kEax);
  Set(o[0xD7], "xlat", K::None, K::None, K::None, 0, kEax);
  for (int i = 0; i < 8; ++i) {
    Set(o[0xD8 + i], "", K::None, K::None, K::None, kFlagX87 | kM);
  }
  Set(o[0xE0], "loopne", K::Jb, K::None, K::None, kFlagJump | kFlagNoOpSize, kEcx);
  Set(o[0xE1], "loope", K::Jb, K::None, K::None, kFlagJump | kFlagNoOpSize, kEcx);
  Set(o[0xE2], "loop", K::Jb, K::None, K::None, kFlagJump | kFlagNoOpSize, kEcx);
  Set(o[0xE3], "jecxz|jcxz", K::Jb, K::None, K::None, kFlagJump | kFlagNoOpSize);
  Set(o[0xE4], "in", K::AL, K::Ib);
  Set(o[0xE5], "in", K::eAX, K::Ib);
  Set(o[0xE6], "out", K::Ib, K::AL);
  Set(o[0xE7], "out", K::Ib, K::eAX);
  Set(o[0xE8], "call", K::Jz, K::None, K::None, kFlagCall, kEsp | kEax | kEcx | kEdx);
  Set(o[0xE9], "jmp", K::Jz, K::None, K::None, kFlagJump);
  Set(o[0xEA], "jmp", K::Ap, K::None, K::None, kFlagJump | kFlagFar);
  Set(o[0xEB], "jmp", K::Jb, K::None, K::None, kFlagJump);
  Set(o[0xEC], "in", K::AL, K::DX);
  Set(o[0xED], "in", K::eAX, K::DX);
  Set(o[0xEE], "out", K::DX, K::AL);
  Set(o[0xEF], "out", K::DX, K::eAX);
  Set(o[0xF1], "int1");
  Set(o[0xF4], "hlt");
  Set(o[0xF5], "cmc");
  Group(o[0xF6], 2, K::Eb);
  Group(o[0xF7], 3, K::Ev);
  Set(o[0xF8], "clc");
  Set(o[0xF9], "stc");
  Set(o[0xFA], "cli");
  Set(o[0xFB], "sti");
  Set(o[0xFC], "cld");
  Set(o[0xFD], "std");
  Group(o[0xFE], 4, K::Eb);
  Group(o[0xFF], 5, K::Ev);
}

void BuildGroups(TOpcodeTables& t) {
  static const char* const kArith[8] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};
  static const char* const kShift[8] = {"rol", "ror", "rcl", "rcr", "shl", "shr", "sal", "sar"};
  for (int r = 0; r < 8; ++r) {
    Member(t, 0, r, kArith[r], K::None, K::None, K::None,
           r == 7 ? std::uint32_t(kFlagNoWrite) : 0u);
    Member(t, 1, r, kShift[r]);
  }
  Member(t, 2, 0, "test", K::Eb, K::Ib, K::None, kFlagNoWrite);
  Member(t, 2, 1, "test", K::Eb, K::Ib, K::None, kFlagNoWrite);
  Member(t, 2, 2, "not", K::Eb);
  Member(t, 2, 3, "neg", K::Eb);
  Member(t, 2, 4, "mul", K::Eb, K::None, K::None, kFlagNoWrite, kEax);
  Member(t, 2, 5, "imul", K::Eb, K::None, K::None, kFlagNoWrite, kEax);
  Member(t, 2, 6, "div", K::Eb, K::None, K::None, kFlagNoWrite, kEax);
  Member(t, 2, 7, "idiv", K::Eb, K::None, K::None, kFlagNoWrite, kEax);
  Member(t, 3, 0, "test", K::Ev, K::Iz, K::None, kFlagNoWrite);
  Member(t, 3, 1, "test", K::Ev, K::Iz, K::None, kFlagNoWrite);
  Member(t, 3, 2, "not", K::Ev);
  Member(t, 3, 3, "neg", K::Ev);
  Member(t, 3, 4, "mul", K::Ev, K::None, K::None, kFlagNoWrite, kEax | kEdx);
  Member(t, 3, 5, "imul", K::Ev, K::None, K::None, kFlagNoWrite, kEax | kEdx);
  Member(t, 3, 6, "div", K::Ev, K::None, K::None, kFlagNoWrite, kEax | kEdx);
  Member(t, 3, 7, "idiv", K::Ev, K::None, K::None, kFlagNoWrite, kEax | kEdx);
  Member(t, 4, 0, "inc", K::Eb);
  Member(t, 4, 1, "dec", K::Eb);
  Member(t, 5, 0, "inc", K::Ev);
  Member(t, 5, 1, "dec", K::Ev);
  Member(t, 5, 2, "call", K::Ev, K::None, K::None, kFlagCall | kFlagNoWrite,
         kEsp | kEax | kEcx | kEdx);
  Set(t.groups[5][3], "call far", K::Mp, K::None, K::None, kFlagCall | kFlagFar,
      kEsp | kEax | kEcx | kEdx);
  Member(t, 5, 4, "jmp", K::Ev, K::None, K::None, kFlagJump | kFlagNoWrite);
  Set(t.groups[5][5], "jmp far", K::Mp, K::None, K::None, kFlagJump | kFlagFar);
  Member(t, 5, 6, "push", K::Ev, K::None, K::None, kFlagNoWrite, kEsp);
  Member(t, 6, 0, "pop", K::Ev, K::None, K::None, 0, kEsp);
  Member(t, 7, 0, "mov", K::Eb, K::Ib);
  Member(t, 8, 0, "mov", K::Ev, K::Iz);
  // 0F 00
  Member(t, 9, 0, "sldt", K::Ews);
  Member(t, 9, 1, "str", K::Ews);
  Member(t, 9, 2, "lldt", K::Ew, K::None, K::None, kFlagNoWrite);
  Member(t, 9, 3, "ltr", K::Ew, K::None, K::None, kFlagNoWrite);
  Member(t, 9, 4, "verr", K::Ew, K::None, K::None, kFlagNoWrite);
  Member(t, 9, 5, "verw", K::Ew, K::None, K::None, kFlagNoWrite);
  // 0F 01 (register forms are chosen by reg and rm in the decoder)
  Set(t.groups[10][0], "sgdt", K::M);
  Set(t.groups[10][1], "sidt", K::M);
  Set(t.groups[10][2], "lgdt", K::M);
  Set(t.groups[10][3], "lidt", K::M);
  Member(t, 10, 4, "smsw", K::Ews);
  Member(t, 10, 6, "lmsw", K::Ew, K::None, K::None, kFlagNoWrite);
  Set(t.groups[10][7], "invlpg", K::Mb);
  // 0F BA
  Member(t, 11, 4, "bt", K::Ev, K::Ib, K::None, kFlagNoWrite);
  Member(t, 11, 5, "bts", K::Ev, K::Ib);
  Member(t, 11, 6, "btr", K::Ev, K::Ib);
  Member(t, 11, 7, "btc", K::Ev, K::Ib);
  // 0F C7
  Set(t.groups[12][1], "cmpxchg8b", K::Mq, K::None, K::None, 0, kEax | kEdx);
  // 0F 71..73: register forms without prefix in [8 + reg], with 66 in [reg].
  static const char* const kShiftImm[3][8] = {
      {nullptr, nullptr, "psrlw", nullptr, "psraw", nullptr, "psllw", nullptr},
      {nullptr, nullptr, "psrld", nullptr, "psrad", nullptr, "pslld", nullptr},
      {nullptr, nullptr, "psrlq", "psrldq", nullptr, nullptr, "psllq", "pslldq"}};
  for (int g = 0; g < 3; ++g) {
    for (int r = 0; r < 8; ++r) {
      const char* n = kShiftImm[g][r];
      if (!n) continue;
      Set(t.groups[13 + g][r], n, K::Ux, K::Ib);
      if (r != 3 && r != 7) Set(t.groups[13 + g][8 + r], n, K::Nq, K::Ib);
    }
  }
  // 0F AE
  Set(t.groups[16][0], "fxsave", K::M);
  Set(t.groups[16][1], "fxrstor", K::M);
  Set(t.groups[16][2], "ldmxcsr", K::Md);
  Set(t.groups[16][3], "stmxcsr", K::Md);
  Set(t.groups[16][4], "xsave", K::M, K::None, K::None, 0, 0);
  Set(t.groups[16][5], "xrstor", K::M);
  Set(t.groups[16][6], "xsaveopt", K::M);
  Set(t.groups[16][7], "clflush", K::Mb);
  Set(t.groups[16][8 + 5], "lfence", K::None, K::None, K::None, kM);
  Set(t.groups[16][8 + 6], "mfence", K::None, K::None, K::None, kM);
  Set(t.groups[16][8 + 7], "sfence", K::None, K::None, K::None, kM);
  // 0F 18
  static const char* const kPrefetch[4] = {"prefetchnta", "prefetcht0", "prefetcht1", "prefetcht2"};
  for (int r = 0; r < 8; ++r) {
    Set(t.groups[17][r], r < 4 ? kPrefetch[r] : "nop", r < 4 ? K::Mb : K::Ev);
    Set(t.groups[17][8 + r], "nop", K::Ev, K::None, K::None, kFlagNoWrite);
    Set(t.groups[18][r], r == 1 ? "prefetchw" : "prefetch", K::Mb);
    Set(t.groups[18][8 + r], "nop", K::Ev, K::None, K::None, kFlagNoWrite);
  }
}

void Sse(TOpcodeTables& t, int op, const char* none, const char* p66, const char* f2,
         const char* f3, K a, K b, K c = K::None) {
  Set(t.twoByte[op], "", K::None, K::None, K::None, kFlagSse | kM);
  const char* names[4] = {none, p66, f2, f3};
  for (int v = 0; v < 4; ++v)
    if (names[v]) Set(t.sse[op][v], names[v], a, b, c);
}

// MMX form without prefix, SSE2 form with 66.
void Mmx(TOpcodeTables& t, int op, const char* name, bool sse2 = true) {
  Set(t.twoByte[op], "", K::None, K::None, K::None, kFlagSse | kM);
  Set(t.sse[op][0], name, K::Pq, K::Qq);
  if (sse2) Set(t.sse[op][1], name, K::Vx, K::Wx);
}

void BuildTwoByte(TOpcodeTables& t) {
  TOpcode* o = t.twoByte;
  Group(o[0x00], 9);
  Group(o[0x01], 10);
  Set(o[0x02], "lar", K::Gv, K::Ews);
  Set(o[0x03], "lsl", K::Gv, K::Ews);
  Set(o[0x06], "clts");
  Set(o[0x08], "invd");
  Set(o[0x09], "wbinvd");
  Set(o[0x0B], "ud2");
  Group(o[0x0D], 18);
  Set(o[0x0E], "femms");
  Set(o[0x0F], "", K::Pq, K::Qq, K::None, kFlag3DNow);
  Sse(t, 0x10, "movups", "movupd", "movsd", "movss", K::Vx, K::Wx);
  Sse(t, 0x11, "movups", "movupd", "movsd", "movss", K::Wx, K::Vx);
  Set(t.sse[0x10][2], "movsd", K::Vx, K::Wq);
  Set(t.sse[0x10][3], "movss", K::Vx, K::Wd);
  Set(t.sse[0x11][2], "movsd", K::Wq, K::Vx);
  Set(t.sse[0x11][3], "movss", K::Wd, K::Vx);
  Sse(t, 0x12, "movlps", "movlpd", "movddup", "movsldup", K::Vx, K::Wq);
  Set(t.sse[0x12][1], "movlpd", K::Vx, K::Mq);
  Set(t.sse[0x12][3], "movsldup", K::Vx, K::Wx);
  Sse(t, 0x13, "movlps", "movlpd", nullptr, nullptr, K::Mq, K::Vx);
  Sse(t, 0x14, "unpcklps", "unpcklpd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x15, "unpckhps", "unpckhpd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x16, "movhps", "movhpd", nullptr, "movshdup", K::Vx, K::Wq);
  Set(t.sse[0x16][1], "movhpd", K::Vx, K::Mq);
  Set(t.sse[0x16][3], "movshdup", K::Vx, K::Wx);
  Sse(t, 0x17, "movhps", "movhpd", nullptr, nullptr, K::Mq, K::Vx);
  Group(o[0x18], 17);
  for (int i = 0x19; i <= 0x1F; ++i) Set(o[i], "nop", K::Ev, K::None, K::None, kFlagNoWrite);
  Set(o[0x20], "mov", K::Rd, K::Cd);
  Set(o[0x21], "mov", K::Rd, K::Dd);
  Set(o[0x22], "mov", K::Cd, K::Rd);
  Set(o[0x23], "mov", K::Dd, K::Rd);
  Sse(t, 0x28, "movaps", "movapd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x29, "movaps", "movapd", nullptr, nullptr, K::Wx, K::Vx);
  Sse(t, 0x2A, "cvtpi2ps", "cvtpi2pd", "cvtsi2sd", "cvtsi2ss", K::Vx, K::Qq);
  Set(t.sse[0x2A][2], "cvtsi2sd", K::Vx, K::Ed);
  Set(t.sse[0x2A][3], "cvtsi2ss", K::Vx, K::Ed);
  Sse(t, 0x2B, "movntps", "movntpd", nullptr, nullptr, K::Mo, K::Vx);
  Sse(t, 0x2C, "cvttps2pi", "cvttpd2pi", "cvttsd2si", "cvttss2si", K::Pq, K::Wq);
  Set(t.sse[0x2C][1], "cvttpd2pi", K::Pq, K::Wx);
  Set(t.sse[0x2C][2], "cvttsd2si", K::Gd, K::Wq);
  Set(t.sse[0x2C][3], "cvttss2si", K::Gd, K::Wd);
  Sse(t, 0x2D, "cvtps2pi", "cvtpd2pi", "cvtsd2si", "cvtss2si", K::Pq, K::Wq);
  Set(t.sse[0x2D][1], "cvtpd2pi", K::Pq, K::Wx);
  Set(t.sse[0x2D][2], "cvtsd2si", K::Gd, K::Wq);
  Set(t.sse[0x2D][3], "cvtss2si", K::Gd, K::Wd);
  Sse(t, 0x2E, "ucomiss", "ucomisd", nullptr, nullptr, K::Vx, K::Wd);
  Set(t.sse[0x2E][1], "ucomisd", K::Vx, K::Wq);
  Sse(t, 0x2F, "comiss", "comisd", nullptr, nullptr, K::Vx, K::Wd);
  Set(t.sse[0x2F][1], "comisd", K::Vx, K::Wq);
  Set(o[0x30], "wrmsr");
  Set(o[0x31], "rdtsc", K::None, K::None, K::None, 0, kEax | kEdx);
  Set(o[0x32], "rdmsr", K::None, K::None, K::None, 0, kEax | kEdx);
  Set(o[0x33], "rdpmc", K::None, K::None, K::None, 0, kEax | kEdx);
  Set(o[0x34], "sysenter", K::None, K::None, K::None, 0, kEcx | kEdx);
  Set(o[0x35], "sysexit", K::None, K::None, K::None, 0, kEsp);
  for (int c = 0; c < 16; ++c) {
    Set(o[0x40 + c], "cmov%cc", K::Gv, K::Ev);
    Set(o[0x80 + c], "j%cc", K::Jz, K::None, K::None, kFlagJump);
    Set(o[0x90 + c], "set%cc", K::Eb);
  }
  Sse(t, 0x50, "movmskps", "movmskpd", nullptr, nullptr, K::Gd, K::Ux);
  // Packed or scalar, single or double by the prefix: P and S placeholders.
  struct Arith {
    int op;
    const char* name;
  };
  static const Arith kPackedScalar[] = {{0x51, "sqrtPS"}, {0x58, "addPS"}, {0x59, "mulPS"},
                                        {0x5C, "subPS"},  {0x5D, "minPS"}, {0x5E, "divPS"},
                                        {0x5F, "maxPS"}};
  for (const Arith& a : kPackedScalar) {
    Sse(t, a.op, a.name, a.name, a.name, a.name, K::Vx, K::Wx);
    Set(t.sse[a.op][2], a.name, K::Vx, K::Wq);
    Set(t.sse[a.op][3], a.name, K::Vx, K::Wd);
  }
  Sse(t, 0x52, "rsqrtps", nullptr, nullptr, "rsqrtss", K::Vx, K::Wx);
  Set(t.sse[0x52][3], "rsqrtss", K::Vx, K::Wd);
  Sse(t, 0x53, "rcpps", nullptr, nullptr, "rcpss", K::Vx, K::Wx);
  Set(t.sse[0x53][3], "rcpss", K::Vx, K::Wd);
  Sse(t, 0x54, "andps", "andpd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x55, "andnps", "andnpd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x56, "orps", "orpd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x57, "xorps", "xorpd", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x5A, "cvtps2pd", "cvtpd2ps", "cvtsd2ss", "cvtss2sd", K::Vx, K::Wq);
  Set(t.sse[0x5A][1], "cvtpd2ps", K::Vx, K::Wx);
  Set(t.sse[0x5A][3], "cvtss2sd", K::Vx, K::Wd);
  Sse(t, 0x5B, "cvtdq2ps", "cvtps2dq", nullptr, "cvttps2dq", K::Vx, K::Wx);
  static const char* const kMmx60[12] = {"punpcklbw", "punpcklwd", "punpckldq", "packsswb",
                                         "pcmpgtb",   "pcmpgtw",   "pcmpgtd",   "packuswb",
                                         "punpckhbw", "punpckhwd", "punpckhdq", "packssdw"};
  for (int i = 0; i < 12; ++i) Mmx(t, 0x60 + i, kMmx60[i]);
  Sse(t, 0x6C, nullptr, "punpcklqdq", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x6D, nullptr, "punpckhqdq", nullptr, nullptr, K::Vx, K::Wx);
  Sse(t, 0x6E, "movd", "movd", nullptr, nullptr, K::Pq, K::Ed);
  Set(t.sse[0x6E][1], "movd", K::Vx, K::Ed);
  Sse(t, 0x6F, "movq", "movdqa", nullptr, "movdqu", K::Vx, K::Wx);
  Set(t.sse[0x6F][0], "movq", K::Pq, K::Qq);
  Sse(t, 0x70, "pshufw", "pshufd", "pshuflw", "pshufhw", K::Vx, K::Wx, K::Ib);
  Set(t.sse[0x70][0], "pshufw", K::Pq, K::Qq, K::Ib);
  Group(o[0x71], 13);
  Group(o[0x72], 14);
  Group(o[0x73], 15);
  Mmx(t, 0x74, "pcmpeqb");
  Mmx(t, 0x75, "pcmpeqw");
  Mmx(t, 0x76, "pcmpeqd");
  Sse(t, 0x77, "emms", nullptr, nullptr, nullptr, K::None, K::None);
  t.sse[0x77][0].flags = 0;
  t.twoByte[0x77].flags = kFlagSse;
  Sse(t, 0x7C, nullptr, "haddpd", "haddps", nullptr, K::Vx, K::Wx);
  Sse(t, 0x7D, nullptr, "hsubpd", "hsubps", nullptr, K::Vx, K::Wx);
  Sse(t, 0x7E, "movd", "movd", nullptr, "movq", K::Ed, K::Pq);
  Set(t.sse[0x7E][1], "movd", K::Ed, K::Vx);
  Set(t.sse[0x7E][3], "movq", K::Vx, K::Wq);
  Sse(t, 0x7F, "movq", "movdqa", nullptr, "movdqu", K::Wx, K::Vx);
  Set(t.sse[0x7F][0], "movq", K::Qq, K::Pq);
  Set(o[0xA0], "push", K::FS, K::None, K::None, 0, kEsp);
  Set(o[0xA1], "pop", K::FS, K::None, K::None, 0, kEsp);
  Set(o[0xA2], "cpuid", K::None, K::None, K::None, 0, kEax | kEbx | kEcx | kEdx);
  Set(o[0xA3], "bt", K::Ev, K::Gv, K::None, kFlagNoWrite);
  Set(o[0xA4], "shld", K::Ev, K::Gv, K::Ib);
  Set(o[0xA5], "shld", K::Ev, K::Gv, K::CL);
  Set(o[0xA8], "push", K::GS, K::None, K::None, 0, kEsp);
  Set(o[0xA9], "pop", K::GS, K::None, K::None, 0, kEsp);
  Set(o[0xAA], "rsm");
  Set(o[0xAB], "bts", K::Ev, K::Gv);
  Set(o[0xAC], "shrd", K::Ev, K::Gv, K::Ib);
  Set(o[0xAD], "shrd", K::Ev, K::Gv, K::CL);
  Group(o[0xAE], 16);
  Set(o[0xAF], "imul", K::Gv, K::Ev);
  Set(o[0xB0], "cmpxchg", K::Eb, K::Gb, K::None, 0, kEax);
  Set(o[0xB1], "cmpxchg", K::Ev, K::Gv, K::None, 0, kEax);
  Set(o[0xB2], "lss", K::Gv, K::Mp);
  Set(o[0xB3], "btr", K::Ev, K::Gv);
  Set(o[0xB4], "lfs", K::Gv, K::Mp);
  Set(o[0xB5], "lgs", K::Gv, K::Mp);
  Set(o[0xB6], "movzx", K::Gv, K::Eb);
  Set(o[0xB7], "movzx", K::Gv, K::Ew);
  Set(o[0xB9], "ud1", K::Gv, K::Ev, K::None, kFlagNoWrite);
  Group(o[0xBA], 11);
  Set(o[0xBB], "btc", K::Ev, K::Gv);
  Set(o[0xBC], "bsf", K::Gv, K::Ev);
  Set(o[0xBD], "bsr", K::Gv, K::Ev);
  Set(o[0xBE], "movsx", K::Gv, K::Eb);
  Set(o[0xBF], "movsx", K::Gv, K::Ew);
  Set(o[0xC0], "xadd", K::Eb, K::Gb, K::None, kFlagWrite1);
  Set(o[0xC1], "xadd", K::Ev, K::Gv, K::None, kFlagWrite1);
  Sse(t, 0xC2, "cmpPS", "cmpPS", "cmpPS", "cmpPS", K::Vx, K::Wx, K::Ib);
  Set(t.sse[0xC2][2], "cmpPS", K::Vx, K::Wq, K::Ib);
  Set(t.sse[0xC2][3], "cmpPS", K::Vx, K::Wd, K::Ib);
  Sse(t, 0xC3, "movnti", nullptr, nullptr, nullptr, K::Md, K::Gd);
  Sse(t, 0xC4, "pinsrw", "pinsrw", nullptr, nullptr, K::Pq, K::Ews, K::Ib);
  Set(t.sse[0xC4][1], "pinsrw", K::Vx, K::Ews, K::Ib);
  Sse(t, 0xC5, "pextrw", "pextrw", nullptr, nullptr, K::Gd, K::Nq, K::Ib);
  Set(t.sse[0xC5][1], "pextrw", K::Gd, K::Ux, K::Ib);
  Sse(t, 0xC6, "shufps", "shufpd", nullptr, nullptr, K::Vx, K::Wx, K::Ib);
  Group(o[0xC7], 12);
  for (int r = 0; r < 8; ++r) Set(o[0xC8 + r], "bswap", K::Zv);
  Sse(t, 0xD0, nullptr, "addsubpd", "addsubps", nullptr, K::Vx, K::Wx);
  static const char* const kMmxD0[16] = {
      nullptr,   "psrlw",   "psrld",  "psrlq", "paddq",   "pmullw",  nullptr,  nullptr,
      "psubusb", "psubusw", "pminub", "pand",  "paddusb", "paddusw", "pmaxub", "pandn"};
  static const char* const kMmxE0[16] = {
      "pavgb",  "psraw",  "psrad",  "pavgw", "pmulhuw", "pmulhw", nullptr,  nullptr,
      "psubsb", "psubsw", "pminsw", "por",   "paddsb",  "paddsw", "pmaxsw", "pxor"};
  static const char* const kMmxF0[16] = {nullptr,  "psllw", "pslld", "psllq", "pmuludq", "pmaddwd",
                                         "psadbw", nullptr, "psubb", "psubw", "psubd",   "psubq",
                                         "paddb",  "paddw", "paddd", nullptr};
  for (int i = 0; i < 16; ++i) {
    if (kMmxD0[i]) Mmx(t, 0xD0 + i, kMmxD0[i]);
    if (kMmxE0[i]) Mmx(t, 0xE0 + i, kMmxE0[i]);
    if (kMmxF0[i]) Mmx(t, 0xF0 + i, kMmxF0[i]);
  }
  Sse(t, 0xD6, nullptr, "movq", "movdq2q", "movq2dq", K::Wq, K::Vx);
  Set(t.sse[0xD6][2], "movdq2q", K::Pq, K::Ux);
  Set(t.sse[0xD6][3], "movq2dq", K::Vx, K::Nq);
  Sse(t, 0xD7, "pmovmskb", "pmovmskb", nullptr, nullptr, K::Gd, K::Nq);
  Set(t.sse[0xD7][1], "pmovmskb", K::Gd, K::Ux);
  Sse(t, 0xE6, nullptr, "cvttpd2dq", "cvtpd2dq", "cvtdq2pd", K::Vx, K::Wx);
  Set(t.sse[0xE6][3], "cvtdq2pd", K::Vx, K::Wq);
  Sse(t, 0xE7, "movntq", "movntdq", nullptr, nullptr, K::Mq, K::Pq);
  Set(t.sse[0xE7][1], "movntdq", K::Mo, K::Vx);
  Sse(t, 0xF0, nullptr, nullptr, "lddqu", nullptr, K::Vx, K::Mo);
  Sse(t, 0xF7, "maskmovq", "maskmovdqu", nullptr, nullptr, K::Pq, K::Nq);
  Set(t.sse[0xF7][1], "maskmovdqu", K::Vx, K::Ux);
  Set(o[0xFF], "ud0", K::Gv, K::Ev, K::None, kFlagNoWrite);
}

void BuildX87(TOpcodeTables& t) {
  // Memory forms; names lack the leading "f".
  struct M {
    const char* name;
    K kind;
  };
  static const M kMem[8][8] = {{{"add", K::Md},
                                {"mul", K::Md},
                                {"com", K::Md},
                                {"comp", K::Md},
                                {"sub", K::Md},
                                {"subr", K::Md},
                                {"div", K::Md},
                                {"divr", K::Md}},
                               {{"ld", K::Md},
                                {nullptr, K::None},
                                {"st", K::Md},
                                {"stp", K::Md},
                                {"ldenv", K::M},
                                {"ldcw", K::Mw},
                                {"nstenv", K::M},
                                {"nstcw", K::Mw}},
                               {{"iadd", K::Md},
                                {"imul", K::Md},
                                {"icom", K::Md},
                                {"icomp", K::Md},
                                {"isub", K::Md},
                                {"isubr", K::Md},
                                {"idiv", K::Md},
                                {"idivr", K::Md}},
                               {{"ild", K::Md},
                                {"isttp", K::Md},
                                {"ist", K::Md},
                                {"istp", K::Md},
                                {nullptr, K::None},
                                {"ld", K::Mt},
                                {nullptr, K::None},
                                {"stp", K::Mt}},
                               {{"add", K::Mq},
                                {"mul", K::Mq},
                                {"com", K::Mq},
                                {"comp", K::Mq},
                                {"sub", K::Mq},
                                {"subr", K::Mq},
                                {"div", K::Mq},
                                {"divr", K::Mq}},
                               {{"ld", K::Mq},
                                {"isttp", K::Mq},
                                {"st", K::Mq},
                                {"stp", K::Mq},
                                {"rstor", K::M},
                                {nullptr, K::None},
                                {"nsave", K::M},
                                {"nstsw", K::Mw}},
                               {{"iadd", K::Mw},
                                {"imul", K::Mw},
                                {"icom", K::Mw},
                                {"icomp", K::Mw},
                                {"isub", K::Mw},
                                {"isubr", K::Mw},
                                {"idiv", K::Mw},
                                {"idivr", K::Mw}},
                               {{"ild", K::Mw},
                                {"isttp", K::Mw},
                                {"ist", K::Mw},
                                {"istp", K::Mw},
                                {"bld", K::Mt},
                                {"ild", K::Mq},
                                {"bstp", K::Mt},
                                {"istp", K::Mq}}};
  for (int e = 0; e < 8; ++e)
    for (int r = 0; r < 8; ++r)
      if (kMem[e][r].name) Set(t.x87Mem[e][r], kMem[e][r].name, kMem[e][r].kind);

  auto rows = [&](int e, int reg, const char* name, K a, K b) {
    for (int i = 0; i < 8; ++i) Set(t.x87Reg[e][reg * 8 + i], name, a, b);
  };
  auto one = [&](int e, int index, const char* name) { Set(t.x87Reg[e][index], name); };
  static const char* const kArith[8] = {"add", "mul", "com", "comp", "sub", "subr", "div", "divr"};
  for (int r = 0; r < 8; ++r) {
    if (r == 2 || r == 3)
      rows(0, r, kArith[r], K::STi, K::None);
    else
      rows(0, r, kArith[r], K::ST0, K::STi);
  }
  rows(1, 0, "ld", K::STi, K::None);
  rows(1, 1, "xch", K::STi, K::None);
  one(1, 0x10, "nop");
  one(1, 0x20, "chs");
  one(1, 0x21, "abs");
  one(1, 0x24, "tst");
  one(1, 0x25, "xam");
  static const char* const kConst[7] = {"ld1", "ldl2t", "ldl2e", "ldpi", "ldlg2", "ldln2", "ldz"};
  for (int i = 0; i < 7; ++i) one(1, 0x28 + i, kConst[i]);
  static const char* const kD9F0[16] = {"2xm1",   "yl2x",   "ptan", "patan",  "xtract", "prem1",
                                        "decstp", "incstp", "prem", "yl2xp1", "sqrt",   "sincos",
                                        "rndint", "scale",  "sin",  "cos"};
  for (int i = 0; i < 16; ++i) one(1, 0x30 + i, kD9F0[i]);
  static const char* const kCmov[4] = {"cmovb", "cmove", "cmovbe", "cmovu"};
  static const char* const kCmovN[4] = {"cmovnb", "cmovne", "cmovnbe", "cmovnu"};
  for (int r = 0; r < 4; ++r) {
    rows(2, r, kCmov[r], K::ST0, K::STi);
    rows(3, r, kCmovN[r], K::ST0, K::STi);
  }
  one(2, 0x29, "ucompp");
  one(3, 0x22, "nclex");
  one(3, 0x23, "ninit");
  rows(3, 5, "ucomi", K::ST0, K::STi);
  rows(3, 6, "comi", K::ST0, K::STi);
  static const char* const kArithR[8] = {"add",  "mul", nullptr, nullptr,
                                         "subr", "sub", "divr",  "div"};
  for (int r = 0; r < 8; ++r) {
    if (!kArithR[r]) continue;
    rows(4, r, kArithR[r], K::STi, K::ST0);
    static char const* const kPop[8] = {"addp",  "mulp", nullptr, nullptr,
                                        "subrp", "subp", "divrp", "divp"};
    rows(6, r, kPop[r], K::STi, K::ST0);
  }
  rows(5, 0, "free", K::STi, K::None);
  rows(5, 2, "st", K::STi, K::None);
  rows(5, 3, "stp", K::STi, K::None);
  rows(5, 4, "ucom", K::STi, K::None);
  rows(5, 5, "ucomp", K::STi, K::None);
  one(6, 0x19, "compp");
  Set(t.x87Reg[7][0x20], "nstsw", K::AX, K::None, K::None, 0, kEax);
  rows(7, 5, "ucomip", K::ST0, K::STi);
  rows(7, 6, "comip", K::ST0, K::STi);
}

void Build3DNow(TOpcodeTables& t) {
  struct S {
    std::uint8_t suffix;
    const char* name;
  };
  static const S kSuffixes[] = {
      {0x0C, "pi2fw"},    {0x0D, "pi2fd"},   {0x1C, "pf2iw"},    {0x1D, "pf2id"},
      {0x8A, "pfnacc"},   {0x8E, "pfpnacc"}, {0x90, "pfcmpge"},  {0x94, "pfmin"},
      {0x96, "pfrcp"},    {0x97, "pfrsqrt"}, {0x9A, "pfsub"},    {0x9E, "pfadd"},
      {0xA0, "pfcmpgt"},  {0xA4, "pfmax"},   {0xA6, "pfrcpit1"}, {0xA7, "pfrsqit1"},
      {0xAA, "pfsubr"},   {0xAE, "pfacc"},   {0xB0, "pfcmpeq"},  {0xB4, "pfmul"},
      {0xB6, "pfrcpit2"}, {0xB7, "pmulhrw"}, {0xBB, "pswapd"},   {0xBF, "pavgusb"}};
  for (const S& s : kSuffixes) t.amd3DNow[s.suffix] = s.name;
}

TOpcodeTables Build() {
  TOpcodeTables t{};
  BuildOneByte(t);
  BuildGroups(t);
  BuildTwoByte(t);
  BuildX87(t);
  Build3DNow(t);
  return t;
}

}  // namespace

const TOpcodeTables& OpcodeTables() {
  static const TOpcodeTables tables = Build();
  return tables;
}

}  // namespace ostrel
