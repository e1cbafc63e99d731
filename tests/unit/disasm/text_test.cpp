#include <gtest/gtest.h>

#include "crash/report/disasm/instruction_text.h"
#include "tests/unit/disasm/test_memory.h"

namespace ostrel::test {
namespace {

std::string Text(std::vector<std::uint8_t> bytes, std::uint32_t base = 0x45c19a,
                 const TDisasmSymbols* symbols = nullptr) {
  TMemoryImage image = Code(base, std::move(bytes));
  std::string text;
  DecodeInstructionText(image, base, nullptr, symbols, text);
  return text;
}

TEST(DisasmText, LayoutAndMemoryOperands) {
  EXPECT_EQ(Text(Bytes({0x8B, 0x45, 0xF8})), "0045c19a   mov     eax, [ebp-8]");
  EXPECT_EQ(Text(Bytes({0x8B, 0x10})), "0045c19a   mov     edx, [eax]");
  EXPECT_EQ(Text(Bytes({0x8B, 0x45, 0xF0})), "0045c19a   mov     eax, [ebp-$10]");
  EXPECT_EQ(Text(Bytes({0x8B, 0x40, 0x04})), "0045c19a   mov     eax, [eax+4]");
  EXPECT_EQ(Text(Bytes({0x8B, 0x04, 0x8D, 0x00, 0x20, 0x40, 0x00})),
            "0045c19a   mov     eax, [ecx*4+$402000]");
  EXPECT_EQ(Text(Bytes({0x89, 0x44, 0x8B, 0x0C})), "0045c19a   mov     [ebx+ecx*4+$C], eax");
  EXPECT_EQ(Text(Bytes({0xA1, 0x00, 0x20, 0x40, 0x00})), "0045c19a   mov     eax, [$00402000]");
  EXPECT_EQ(Text(Bytes({0x64, 0xA1, 0, 0, 0, 0})), "0045c19a   mov     eax, fs:[$00000000]");
  EXPECT_EQ(Text(Bytes({0xC7, 0x00, 0x05, 0, 0, 0})), "0045c19a   mov     dword ptr [eax], 5");
  EXPECT_EQ(Text(Bytes({0x0F, 0xB6, 0x01})), "0045c19a   movzx   eax, byte ptr [ecx]");
  EXPECT_EQ(Text(Bytes({0x67, 0x8B, 0x46, 0x08})), "0045c19a   mov     eax, [bp+8]");
  EXPECT_EQ(Text(Bytes({0xC3})), "0045c19a   ret");
}

TEST(DisasmText, PrefixesAndMnemonicVariants) {
  EXPECT_EQ(Text(Bytes({0xF3, 0xA4})), "0045c19a   rep movsb");
  EXPECT_EQ(Text(Bytes({0xF2, 0xAE})), "0045c19a   repne scasb");
  EXPECT_EQ(Text(Bytes({0xF0, 0x0F, 0xC1, 0x01})), "0045c19a   lock xadd [ecx], eax");
  EXPECT_EQ(Text(Bytes({0x99})), "0045c19a   cdq");
  EXPECT_EQ(Text(Bytes({0x66, 0x99})), "0045c19a   cwd");
  EXPECT_EQ(Text(Bytes({0x66, 0xA5})), "0045c19a   movsw");
  EXPECT_EQ(Text(Bytes({0x67, 0xE3, 0x00})), "0045c19a   jcxz    +0 ($0045C19D)");
  EXPECT_EQ(Text(Bytes({0x0F, 0x97, 0xC0})), "0045c19a   seta    al");
  EXPECT_EQ(Text(Bytes({0x0F, 0x4D, 0xC1})), "0045c19a   cmovge  eax, ecx");
  EXPECT_EQ(Text(Bytes({0x66, 0x89, 0xC8})), "0045c19a   mov     ax, cx");
}

TEST(DisasmText, SseX87And3DNow) {
  EXPECT_EQ(Text(Bytes({0x0F, 0x58, 0xC1})), "0045c19a   addps   xmm0, xmm1");
  EXPECT_EQ(Text(Bytes({0x66, 0x0F, 0x58, 0xC1})), "0045c19a   addpd   xmm0, xmm1");
  EXPECT_EQ(Text(Bytes({0xF2, 0x0F, 0x58, 0xC1})), "0045c19a   addsd   xmm0, xmm1");
  EXPECT_EQ(Text(Bytes({0xF3, 0x0F, 0x51, 0x00})), "0045c19a   sqrtss  xmm0, dword ptr [eax]");
  EXPECT_EQ(Text(Bytes({0x0F, 0x28, 0x00})), "0045c19a   movaps  xmm0, [eax]");
  EXPECT_EQ(Text(Bytes({0x0F, 0xFC, 0xC1})), "0045c19a   paddb   mm0, mm1");
  EXPECT_EQ(Text(Bytes({0x66, 0x0F, 0xFC, 0xC1})), "0045c19a   paddb   xmm0, xmm1");
  EXPECT_EQ(Text(Bytes({0xD9, 0x00})), "0045c19a   fld     dword ptr [eax]");
  EXPECT_EQ(Text(Bytes({0xDB, 0x28})), "0045c19a   fld     tbyte ptr [eax]");
  EXPECT_EQ(Text(Bytes({0xD8, 0xC1})), "0045c19a   fadd    st, st(1)");
  EXPECT_EQ(Text(Bytes({0xDE, 0xC9})), "0045c19a   fmulp   st(1), st");
  EXPECT_EQ(Text(Bytes({0xD9, 0xE8})), "0045c19a   fld1");
  EXPECT_EQ(Text(Bytes({0xDF, 0xE0})), "0045c19a   fnstsw  ax");
  EXPECT_EQ(Text(Bytes({0x0F, 0x0F, 0xC1, 0xB4})), "0045c19a   pfmul   mm0, mm1");
}

TEST(DisasmText, ShiftsImmediatesAndTransfers) {
  EXPECT_EQ(Text(Bytes({0xD1, 0xE0})), "0045c19a   shl     eax, 1");
  EXPECT_EQ(Text(Bytes({0xD3, 0xF8})), "0045c19a   sar     eax, cl");
  EXPECT_EQ(Text(Bytes({0x0F, 0xA5, 0xC2})), "0045c19a   shld    edx, eax, cl");
  EXPECT_EQ(Text(Bytes({0x83, 0xC4, 0xF8})), "0045c19a   add     esp, -8");
  EXPECT_EQ(Text(Bytes({0x83, 0xEC, 0x10})), "0045c19a   sub     esp, $10");
  EXPECT_EQ(Text(Bytes({0x6A, 0xFF})), "0045c19a   push    -1");
  EXPECT_EQ(Text(Bytes({0x68, 0x00, 0x10, 0x00, 0x00})), "0045c19a   push    $1000");
  EXPECT_EQ(Text(Bytes({0xC2, 0x08, 0x00})), "0045c19a   ret     8");
  EXPECT_EQ(Text(Bytes({0x74, 0x10})), "0045c19a   jz      +$10 ($0045C1AC)");
  EXPECT_EQ(Text(Bytes({0xE8, 0xF0, 0xFF, 0xFF, 0xFF})), "0045c19a   call    -$10 ($0045C18F)");
  EXPECT_EQ(Text(Bytes({0xEA, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00})),
            "0045c19a   jmp     $1B:$00401000");
  EXPECT_EQ(Text(Bytes({0xFE, 0xD0})), "0045c19a   db $FE");
}

class DisasmTextComments : public testing::Test {
 protected:
  static constexpr std::uint32_t kBase = 0x400000;
  void SetUp() override {
    module_ = ModuleBytes(0x3000);
    const char text[] = "Access violation";
    std::memcpy(&module_[0x2000], text, sizeof text);
    for (int i = 0; i < 32; ++i) module_[0x2100 + i] = std::uint8_t(i * 37 + 1);  // binary data
    Put32(module_, 0x2200, kBase + 0x2000);  // a pointer to the text
    module_[0x1800] = 0xE9;                  // a thunk: jmp to the named function
    Put32(module_, 0x1801, 0x1900 - 0x1805);
    symbols_.functionNameAt = [](std::uint32_t a) {
      return a == kBase + 0x1900 ? std::string("Unit1.TForm1.Click") : std::string();
    };
    symbols_.exportNameAt = [](std::uint32_t a) {
      return a == 0x7C801000 ? std::string("GetProcAddress") : std::string();
    };
    symbols_.foreignModuleAt = [](std::uint32_t a) {
      return a >= 0x7C800000 ? std::string("kernel32.dll") : std::string();
    };
  }
  std::string At(std::uint32_t offset, std::vector<std::uint8_t> code) {
    std::vector<std::uint8_t> m = module_;
    std::memcpy(&m[offset], code.data(), code.size());
    TMemoryImage image;
    image.Add(kBase, m, kReadable, kBase);
    image.Add(0x7C801000, Bytes({0xC3}), kReadable, 0x7C800000);
    std::string text;
    DecodeInstructionText(image, kBase + offset, nullptr, &symbols_, text);
    return text;
  }
  std::vector<std::uint8_t> module_;
  TDisasmSymbols symbols_;
};

TEST_F(DisasmTextComments, NamedTargetsAndThunks) {
  // call $401900 (named), padded to 40 columns.
  EXPECT_EQ(At(0x1000, Bytes({0xE8, 0xFB, 0x08, 0, 0})),
            "00401000   call    +$8FB ($00401900)      ; Unit1.TForm1.Click");
  // call of the thunk at $401800 names the final target.
  EXPECT_EQ(At(0x1000, Bytes({0xE8, 0xFB, 0x07, 0, 0})),
            "00401000   call    +$7FB ($00401800)      ; Unit1.TForm1.Click");
  // Another module: the module name follows.
  std::string far = At(0x1000, Bytes({0xE8, 0xFB, 0xFF, 0x3F, 0x7C}));
  EXPECT_NE(far.find("  ; GetProcAddress (kernel32.dll)"), std::string::npos) << far;
}

TEST_F(DisasmTextComments, StringConstants) {
  EXPECT_EQ(At(0x1000, Bytes({0x68, 0x00, 0x20, 0x40, 0x00})),
            "00401000   push    $402000                ; 'Access violation'");
  EXPECT_EQ(At(0x1000, Bytes({0x68, 0x00, 0x21, 0x40, 0x00})), "00401000   push    $402100");
  // Memory operand: the dword stored there points at the text.
  EXPECT_EQ(At(0x1000, Bytes({0xA1, 0x00, 0x22, 0x40, 0x00})),
            "00401000   mov     eax, [$00402200]       ; 'Access violation'");
  // Within the last 100 bytes of the image: not looked at.
  std::memcpy(&module_[0x2FB0], "Some text here", 15);
  EXPECT_EQ(At(0x1000, Bytes({0x68, 0xB0, 0x2F, 0x40, 0x00})), "00401000   push    $402FB0");
}

TEST(DisasmText, StringHeuristic) {
  auto looks = [](const std::string& s) {
    std::vector<std::uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    TMemoryImage image = Code(0x1000, b);
    std::string text;
    return LooksLikeText(image, 0x1000, text);
  };
  EXPECT_TRUE(looks("Access violation"));
  EXPECT_TRUE(looks("C:\\Temp\\report.txt"));
  EXPECT_FALSE(looks("abc"));
  EXPECT_FALSE(looks("a.b.c.d.e.f"));
  EXPECT_FALSE(looks("\x01\x02\x03\x04\x05"));
  EXPECT_FALSE(looks("{}|~{}|~"));
}

}  // namespace
}  // namespace ostrel::test
