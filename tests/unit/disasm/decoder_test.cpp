#include <gtest/gtest.h>

#include "crash/report/disasm/decoder.h"
#include "tests/unit/disasm/test_memory.h"

namespace ostrel::test {
namespace {

constexpr std::uint32_t kBase = 0x401000;

TInstruction Decode(std::vector<std::uint8_t> bytes, TRegisterState* regs = nullptr) {
  TMemoryImage image = Code(kBase, std::move(bytes));
  return DecodeInstruction(image, kBase, nullptr, regs);
}

struct TCase {
  std::vector<std::uint8_t> bytes;
  bool valid;
  int length;
};

TEST(DisasmDecoder, ValidityRules) {
  const TCase cases[] = {
      {Bytes({0xFE, 0xD0}), false, 0},              // FE with reg > 1
      {Bytes({0xFF, 0x38}), false, 0},              // FF /7
      {Bytes({0xFF, 0xD8}), false, 0},              // FF /3 with a register
      {Bytes({0xFF, 0xE8}), false, 0},              // FF /5 with a register
      {Bytes({0x8D, 0xC0}), false, 0},              // lea needs memory
      {Bytes({0xC4, 0xC0}), false, 0},              // les needs memory
      {Bytes({0x0F, 0xC5, 0x01, 0x05}), false, 0},  // pextrw needs a register
      {Bytes({0x0F, 0xC5, 0xC1, 0x05}), true, 4},
      {Bytes({0xDD, 0xC8}), false, 0},  // undefined x87 register form
      {Bytes({0xD9, 0xD1}), false, 0},
      {Bytes({0xD9, 0xD0}), true, 2},               // fnop
      {Bytes({0x0F, 0x0F, 0xC1, 0x00}), false, 0},  // undefined 3DNow! suffix
      {Bytes({0x0F, 0x0F, 0xC1, 0xB4}), true, 4},
      {Bytes({0x0F, 0x0F, 0x45, 0x10, 0xB4}), true, 5},
      {Bytes({0x0F, 0x7C, 0xC1}), false, 0},  // haddpd without its prefix
      {Bytes({0x66, 0x0F, 0x7C, 0xC1}), true, 4},
      {Bytes({0x0F, 0xD6, 0xC1}), false, 0},        // movq xmm needs 66
      {Bytes({0x66, 0x0F, 0x12, 0xC1}), false, 0},  // movlpd is memory only
      {Bytes({0x0F, 0x12, 0xC1}), true, 3},         // movhlps
      {Bytes({0x0F, 0x20, 0xC0}), true, 3},         // mov eax, cr0
      {Bytes({0x0F, 0x20, 0xC8}), false, 0},        // cr1 does not exist
      {Bytes({0x8E, 0xC8}), false, 0},              // mov cs, ax
      {Bytes({0x0F, 0x0B}), true, 2},
      {Bytes({0xD6}), false, 0},
      {Bytes({0x66, 0xB8, 0x34, 0x12}), true, 4},
      {Bytes({0x67, 0x8B, 0x46, 0x08}), true, 4},  // [bp+8]
      {Bytes({0x67, 0xA1, 0x00, 0x20}), true, 4},
      {Bytes({0x9A, 1, 2, 3, 4, 5, 6}), true, 7},
      {Bytes({0x66, 0x9A, 1, 2, 3, 4}), true, 6},
      {Bytes({0xC8, 0x10, 0x00, 0x01}), true, 4},
      {Bytes({0x8B, 0x84, 0x88, 1, 2, 3, 4}), true, 7},
      {Bytes({0x8B, 0x04, 0x25, 1, 2, 3, 4}), true, 7},  // SIB without base
      {Bytes({0x83, 0xC4}), false, 0},                   // immediate cannot be read
  };
  for (const TCase& c : cases) {
    TInstruction in = Decode(c.bytes);
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(in.valid, c.valid);
    if (c.valid) {
      EXPECT_EQ(in.length, c.length);
      EXPECT_EQ(in.next, kBase + c.length);
    }
  }
}

TEST(DisasmDecoder, TooLongIsInvalid) {
  std::vector<std::uint8_t> b(14, 0x66);
  b.push_back(0x90);
  EXPECT_TRUE(Decode(b).valid);  // 15 bytes
  b.insert(b.begin(), 0x66);
  b.push_back(0x90);
  EXPECT_FALSE(Decode(b).valid);
}

TEST(DisasmDecoder, RelativeTargets) {
  TInstruction call = Decode(Bytes({0xE8, 0x10, 0x00, 0x00, 0x00}));
  EXPECT_TRUE(call.isCall);
  EXPECT_FALSE(call.isJump);
  EXPECT_TRUE(call.relativeTarget);
  EXPECT_EQ(call.target, kBase + 5 + 0x10);
  EXPECT_EQ(call.targetField, kBase + 1);
  EXPECT_EQ(call.targetSize, 4);
  EXPECT_TRUE(call.enlargeable);
  EXPECT_EQ(call.opcode, 0xE8u);

  TInstruction back = Decode(Bytes({0xEB, 0xFE}));
  EXPECT_TRUE(back.isJump);
  EXPECT_EQ(back.target, kBase);
  EXPECT_EQ(back.targetSize, 1);

  TInstruction loop = Decode(Bytes({0xE2, 0x05}));
  EXPECT_TRUE(loop.isJump);
  EXPECT_FALSE(loop.enlargeable);

  TInstruction jz = Decode(Bytes({0x0F, 0x84, 0x00, 0x01, 0x00, 0x00}));
  EXPECT_EQ(jz.opcode, 0x0F84u);
  EXPECT_EQ(jz.target, kBase + 6 + 0x100);
  EXPECT_EQ(jz.targetField, kBase + 2);
}

TEST(DisasmDecoder, CallToNextInstructionIsNoTransfer) {
  TInstruction in = Decode(Bytes({0xE8, 0, 0, 0, 0}));
  EXPECT_TRUE(in.valid);
  EXPECT_FALSE(in.isCall);
  EXPECT_FALSE(in.isJump);
  EXPECT_EQ(in.target, 0u);
}

TEST(DisasmDecoder, IndirectTargets) {
  // call [$401010], where the pointer holds $402000.
  std::vector<std::uint8_t> b = Bytes({0xFF, 0x15, 0x10, 0x10, 0x40, 0x00});
  b.resize(0x20, 0x90);
  Put32(b, 0x10, 0x402000);
  TInstruction in = Decode(b);
  ASSERT_TRUE(in.valid);
  EXPECT_TRUE(in.isCall);
  EXPECT_EQ(in.target, 0x402000u);
  EXPECT_EQ(in.targetPointer, 0x401010u);
  EXPECT_EQ(in.targetSize, 4);
  EXPECT_FALSE(in.relativeTarget);

  // The pointer cannot be read: invalid.
  EXPECT_FALSE(Decode(Bytes({0xFF, 0x25, 0x00, 0x00, 0x00, 0x70})).valid);

  // Through a register whose value is known, and through memory it points at.
  TRegisterState regs;
  regs.reg[0] = 0x401010;
  TInstruction viaReg = Decode(Bytes({0xFF, 0xE0}), &regs);
  EXPECT_TRUE(viaReg.isJump);
  EXPECT_EQ(viaReg.target, 0x401010u);
  regs.reg[0] = 0x401010;
  b[0] = 0xFF;
  b[1] = 0x10;  // call [eax]
  TMemoryImage image = Code(kBase, b);
  TInstruction viaMem = DecodeInstruction(image, kBase, nullptr, &regs);
  EXPECT_EQ(viaMem.target, 0x402000u);
  EXPECT_EQ(viaMem.targetPointer, 0x401010u);

  // Unknown register: no target.
  TInstruction unknown = Decode(Bytes({0xFF, 0xD3}));
  EXPECT_TRUE(unknown.isCall);
  EXPECT_EQ(unknown.target, 0u);

  TInstruction far = Decode(Bytes({0xEA, 0, 0x10, 0x40, 0, 0x1B, 0}));
  EXPECT_TRUE(far.isJump);
  EXPECT_EQ(far.length, 7);
}

TEST(DisasmDecoder, RegisterState) {
  TRegisterState r;
  Decode(Bytes({0xB8, 0x78, 0x56, 0x34, 0x12}), &r);  // mov eax, $12345678
  EXPECT_EQ(r.reg[0], 0x12345678u);
  Decode(Bytes({0xC7, 0xC3, 0x00, 0x10, 0x40, 0x00}), &r);  // mov ebx, $401000
  EXPECT_EQ(r.reg[3], 0x401000u);
  Decode(Bytes({0x8B, 0xF3}), &r);  // mov esi, ebx
  EXPECT_EQ(r.reg[6], 0x401000u);
  Decode(Bytes({0x39, 0xD8}), &r);  // cmp eax, ebx writes nothing
  EXPECT_EQ(r.reg[0], 0x12345678u);
  Decode(Bytes({0x50}), &r);  // push eax
  EXPECT_EQ(r.reg[0], 0x12345678u);
  Decode(Bytes({0x87, 0xDE}), &r);  // xchg esi, ebx: both unknown
  EXPECT_EQ(r.reg[3], 0u);
  EXPECT_EQ(r.reg[6], 0u);

  r.reg[1] = r.reg[2] = r.reg[3] = 7;
  Decode(Bytes({0xE8, 0x10, 0, 0, 0}), &r);  // call clears eax, ecx, edx
  EXPECT_EQ(r.reg[0] | r.reg[1] | r.reg[2], 0u);
  EXPECT_EQ(r.reg[3], 7u);

  r.reg[1] = r.reg[6] = r.reg[7] = 9;
  Decode(Bytes({0xF3, 0xA4}), &r);  // rep movsb
  EXPECT_EQ(r.reg[1] | r.reg[6] | r.reg[7], 0u);

  r.reg[0] = r.reg[2] = 5;
  Decode(Bytes({0xF7, 0xE3}), &r);  // mul ebx
  EXPECT_EQ(r.reg[0] | r.reg[2], 0u);
  EXPECT_EQ(r.reg[3], 7u);

  r.reg[0] = 1;
  Decode(Bytes({0x66, 0xB8, 0x34, 0x12}), &r);  // 16-bit move: value unknown
  EXPECT_EQ(r.reg[0], 0u);

  for (std::uint32_t& v : r.reg) v = 3;
  Decode(Bytes({0x61}), &r);  // popad
  EXPECT_EQ(r, TRegisterState{});
}

TEST(DisasmDecoder, UnreadableBytesMakeItInvalid) {
  TMemoryImage image;
  image.Add(0x10000 - 2, Bytes({0x8B, 0x45}));  // the displacement lies beyond
  EXPECT_FALSE(DecodeInstruction(image, 0x10000 - 2, nullptr, nullptr).valid);
  EXPECT_FALSE(DecodeInstruction(image, 0xFFFFFFFFu, nullptr, nullptr).valid);
  // A snapshot that says not readable wins over the reader.
  TMemoryImage ok = Code(kBase, Bytes({0x90}));
  TDATryRead snapshot;
  AppendRun(snapshot, 0, 0, kNotReadable);
  EXPECT_FALSE(DecodeInstruction(ok, kBase, &snapshot, nullptr).valid);
}

}  // namespace
}  // namespace ostrel::test
