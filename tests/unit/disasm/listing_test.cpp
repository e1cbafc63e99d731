#include <gtest/gtest.h>

#include "tests/unit/disasm/function_samples.h"
#include "crash/report/disasm/listing.h"

namespace ostrel::test {
namespace {

std::string List(const std::vector<std::uint8_t>& bytes, std::uint32_t entry,
                 std::uint32_t exception, TListingOptions options, const TDisasmSymbols* symbols,
                 TFunctionInfo& info, std::uint32_t base = kFunction) {
  TMemoryImage image = Code(base, bytes);
  return DisassembleFunction(image, entry, exception, options, symbols, {}, info);
}

TEST(DisasmListing, GoldenSwitchWithFrame) {
  TDisasmSymbols symbols;
  symbols.lineRangeAt = [](std::uint32_t a, int& line, std::uint32_t& s, std::uint32_t& e) {
    line = int(100 + (a - kFunction) / 8);
    s = a & ~7u;
    e = s + 8;
  };
  TFunctionInfo info;
  std::string text = List(SwitchWithFrame(), kFunction, 0x401031, {}, &symbols, info);
  const char* expected =
      "00401000 100 sub_00401000:                    ; function entry point\r\n"
      "00401000       push    ebp\r\n"
      "00401001       mov     ebp, esp\r\n"
      "00401003       push    $401041\r\n"
      "00401008 101   push    dword ptr fs:[$00000000]\r\n"
      "0040100f       mov     fs:[$00000000], esp\r\n"
      "00401016 102   mov     eax, [ebp+8]\r\n"
      "00401019 103   cmp     eax, 2\r\n"
      "0040101c       ja      loc_00401038\r\n"
      "0040101c\r\n"
      "0040101e       jmp     dword ptr [eax*4+$401025]\r\n"
      "0040101e\r\n"
      "0040101e     ; ---------------------------------------------------------\r\n"
      "0040101e\r\n"
      "00401025 104   dd loc_00401031                ; case jump table\r\n"
      "00401029 105   dd loc_00401034\r\n"
      "0040102d       dd loc_00401038\r\n"
      "00401031 106 loc_00401031:\r\n"
      "00401031     > inc     eax\r\n"
      "00401032       jmp     loc_00401038\r\n"
      "00401032\r\n"
      "00401032     ; ---------------------------------------------------------\r\n"
      "00401032\r\n"
      "00401034     loc_00401034:\r\n"
      "00401034       dec     eax\r\n"
      "00401035       nop\r\n"
      "00401036       nop\r\n"
      "00401037       nop\r\n"
      "00401038 107\r\n"
      "00401038     loc_00401038:\r\n"
      "00401038       pop     dword ptr fs:[$00000000]\r\n"
      "0040103f       pop     ebp\r\n"
      "00401040 108   ret\r\n"
      "00401040\r\n"
      "00401040     ; ---------------------------------------------------------\r\n"
      "00401040\r\n"
      "00401041       xor     eax, eax\r\n"
      "00401043       ret";
  EXPECT_EQ(text, expected);
  EXPECT_TRUE(info.valid);
}

TEST(DisasmListing, PlainListingHasNoDelimitersOrLabelsForJumps) {
  TFunctionInfo info;
  TListingOptions plain;
  plain.formatDelimiters = false;
  std::string text = List(SwitchWithFrame(), kFunction, 0, plain, nullptr, info);
  EXPECT_EQ(text.find("; ----"), std::string::npos);
  EXPECT_EQ(text.find("loc_00401031:"), std::string::npos);
  EXPECT_NE(text.find("00401000 sub_00401000:"), std::string::npos);
  EXPECT_NE(text.find("00401025   dd loc_00401031"), std::string::npos);
}

TEST(DisasmListing, LineNumberColumnAsInTheReport) {
  // xor eax, eax / mov eax, [ebp-8] / mov edx, [eax] / ret at 0045c198.
  std::vector<std::uint8_t> code = Bytes({0x33, 0xC0, 0x8B, 0x45, 0xF8, 0x8B, 0x10, 0xC3});
  TDisasmSymbols symbols;
  symbols.lineRangeAt = [](std::uint32_t a, int& line, std::uint32_t& s, std::uint32_t& e) {
    line = a < 0x45c19a ? 27 : a < 0x45c19d ? 28 : 29;
    s = e = a;
  };
  TFunctionInfo info;
  std::string text = List(code, 0x45c198, 0x45c19d, {}, &symbols, info, 0x45c198);
  EXPECT_NE(text.find("\r\n0045c19a 28   mov     eax, [ebp-8]\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n0045c19d 29 > mov     edx, [eax]\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n0045c19f      ret"), std::string::npos) << text;
}

TEST(DisasmListing, NoLineCallbackMeansNoColumnAndNamedTitle) {
  TDisasmSymbols symbols;
  symbols.functionNameAt = [](std::uint32_t a) {
    return a == kFunction ? std::string("Unit1.Run") : std::string();
  };
  TFunctionInfo info;
  std::string text = List(Bytes({0xC3}), kFunction, 0, {}, &symbols, info);
  EXPECT_EQ(text,
            "00401000 public Unit1.Run:                ; function entry point\r\n"
            "00401000   ret");
}

TEST(DisasmListing, LineLimitAroundTheException) {
  std::vector<std::uint8_t> code(200, 0x90);
  code.push_back(0xC3);
  TListingOptions options;
  options.lineLimit = 5;
  TFunctionInfo info;
  // Line 1 is the title, line 101 the nop at 401063.
  std::string text = List(code, kFunction, 0x401063, options, nullptr, info);
  std::vector<std::string> lines;
  for (size_t at = 0;;) {
    size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "[...]");
  EXPECT_EQ(lines[1], "0040105e   nop");
  EXPECT_EQ(lines[6], "00401063 > nop");
  EXPECT_EQ(lines[11], "00401068   nop");
  EXPECT_EQ(lines[12], "[...]");

  // Near the start no "[...]" in front; lines after the exception still limited.
  text = List(code, kFunction, 0x401002, options, nullptr, info);
  EXPECT_EQ(text.rfind("[...]", 0), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 5), "[...]");
}

TEST(DisasmListing, InvalidFunctionGivesEmptyText) {
  TFunctionInfo info;
  EXPECT_EQ(List(Bytes({0x90, 0xFE, 0xFF}), kFunction, 0, {}, nullptr, info), "");
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(info.errorText, "Invalid code!");
}

TEST(DisasmListing, ExceptionHandlerTable) {
  std::vector<std::uint8_t> code = Bytes({
      0xE9, 0x7B, 0x00, 0x00, 0x00,                    // 401000 jmp 401080
      0x02, 0x00, 0x00, 0x00,                          // 401005 two entries
      0x00, 0x30, 0x40, 0x00, 0x20, 0x10, 0x40, 0x00,  // class $403000 -> 401020
      0x00, 0x00, 0x00, 0x00, 0x24, 0x10, 0x40, 0x00,  // else -> 401024
  });
  code.resize(0x90, 0x90);
  code[0x20] = 0xC3;
  code[0x24] = 0xC3;
  code[0x80] = 0xC3;
  TMemoryImage image = Code(kFunction, code);
  TRuntimeHelpers helpers;
  helpers.handleOnException = 0x401080;
  TDisasmSymbols symbols;
  symbols.classNameAt = [](std::uint32_t a) {
    return a == 0x403000 ? std::string("EAccessViolation") : std::string();
  };
  TFunctionInfo info;
  std::string text = DisassembleFunction(image, kFunction, 0, {}, &symbols, helpers, info);
  EXPECT_NE(text.find("00401009   on EAccessViolation do loc_00401020\r\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("00401011   else                   loc_00401024"), std::string::npos) << text;
  // The jump to the helper is not followed by a separator.
  EXPECT_EQ(text.find("00401000\r\n00401000 ; ---"), std::string::npos) << text;
}

}  // namespace
}  // namespace ostrel::test
