#include <gtest/gtest.h>

#include "crash/report/disasm/function_parser.h"
#include "tests/unit/disasm/function_samples.h"

namespace ostrel::test {
namespace {

TFunctionInfo Parse(std::vector<std::uint8_t> bytes, const TRuntimeHelpers& helpers = {},
                    std::uint32_t entry = kFunction) {
  TMemoryImage image = Code(kFunction, std::move(bytes));
  return ParseFunction(image, entry, nullptr, helpers);
}

TEST(DisasmParser, SwitchTableAndExceptionFrame) {
  TFunctionInfo f = Parse(SwitchWithFrame());
  ASSERT_TRUE(f.valid);
  struct TExpected {
    std::uint32_t start, end, ledBy;
    bool table;
  };
  const TExpected expected[] = {
      {0x401000, 0x401025, 0, false},        {0x401025, 0x401031, 0, true},
      {0x401031, 0x401034, 0x40101e, false}, {0x401034, 0x401038, 0x40101e, false},
      {0x401038, 0x401041, 0x401032, false}, {0x401041, 0x401044, 0, false},
  };
  ASSERT_EQ(f.areas.size(), std::size(expected));
  for (size_t i = 0; i < f.areas.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(f.areas[i].start, expected[i].start);
    EXPECT_EQ(f.areas[i].end, expected[i].end);
    EXPECT_EQ(f.areas[i].ledBy, expected[i].ledBy);
    EXPECT_EQ(f.areas[i].caseJumpTable, expected[i].table);
  }
  EXPECT_EQ(f.codeBegin, kFunction);
  EXPECT_EQ(f.codeLength, 0x44u);
  // The table jump is recognised, so nothing is unresolved.
  EXPECT_TRUE(f.unknownTransfers.empty());
  EXPECT_TRUE(f.farCalls.empty());
  // The nearest jump before the area is the one that led to it.
  EXPECT_TRUE(f.overwritable);  // push, mov, push imm: 8 plain bytes
}

TEST(DisasmParser, CallsAndUnknownTransfers) {
  std::vector<std::uint8_t> code = Bytes({
      0xE8, 0x0B, 0x00, 0x00, 0x00,  // 401000 call 401010 (same module: still a far call)
      0xFF, 0xD3,                    // 401005 call ebx (unknown)
      0xE8, 0x04, 0x00, 0x00, 0x00,  // 401007 call 401010 again
      0xC3,                          // 40100c ret
      0x90, 0x90, 0x90,              //
      0xC3,                          // 401010
  });
  TFunctionInfo f = Parse(code);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.farCalls.size(), 2u);  // unique by next address, not by target
  EXPECT_TRUE(f.farCalls[0].isCall);
  EXPECT_EQ(f.farCalls[0].target, 0x401010u);
  EXPECT_EQ(f.farCalls[0].next, 0x401005u);
  EXPECT_TRUE(f.farCalls[0].relativeTarget);
  EXPECT_EQ(f.farCalls[0].targetField, 0x401001u);
  ASSERT_EQ(f.unknownTransfers.size(), 1u);
  EXPECT_EQ(f.unknownTransfers[0].isCall, 1);
  EXPECT_EQ(f.unknownTransfers[0].address, 0x401005u);
  ASSERT_EQ(f.areas.size(), 1u);
  EXPECT_EQ(f.areas[0].end, 0x40100Du);
  EXPECT_EQ(f.relocatedSize, 0xDu + 4);
  EXPECT_FALSE(f.overwritable);
}

TEST(DisasmParser, RegisterStateResolvesJumpAndOpensAreas) {
  std::vector<std::uint8_t> code = Bytes({
      0xB8, 0x10, 0x10, 0x40, 0x00,  // 401000 mov eax, $401010
      0xFF, 0xE0,                    // 401005 jmp eax
      0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC,
      0xC3,  // 401010 ret
  });
  TFunctionInfo f = Parse(code);
  ASSERT_TRUE(f.valid);
  // The state changed after the mov: a new area starts at the jump with eax known.
  ASSERT_EQ(f.areas.size(), 3u);
  EXPECT_EQ(f.areas[1].start, 0x401005u);
  EXPECT_EQ(f.areas[1].regs.reg[0], 0x401010u);
  EXPECT_EQ(f.areas[2].start, 0x401010u);
  EXPECT_EQ(f.areas[2].ledBy, 0x401005u);
  EXPECT_TRUE(f.unknownTransfers.empty());
}

TEST(DisasmParser, JumpIntoAnAreaSplitsIt) {
  std::vector<std::uint8_t> code = Bytes({
      0x90,        // 401000 nop
      0x90,        // 401001 nop
      0x49,        // 401002 dec ecx
      0x75, 0xFC,  // 401003 jnz 401001
      0xC3,        // 401005 ret
  });
  TFunctionInfo f = Parse(code);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.areas.size(), 2u);
  EXPECT_EQ(f.areas[0].end, 0x401001u);
  EXPECT_EQ(f.areas[1].start, 0x401001u);
  EXPECT_EQ(f.areas[1].end, 0x401006u);
  EXPECT_EQ(f.areas[1].ledBy, 0x401003u);
  EXPECT_FALSE(f.overwritable);
}

TEST(DisasmParser, GapAfterUnknownJumpIsParsedWhenClose) {
  std::vector<std::uint8_t> code = Bytes({
      0xFF, 0xE0,  // 401000 jmp eax (unknown)
      0x90, 0xC3,  // 401002 reachable only through the unknown jump
  });
  code.push_back(0x90);
  TFunctionInfo f = Parse(code);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.areas.size(), 1u);  // no gap: the only area is contiguous

  // An area after a gap: the gap is parsed too.
  std::vector<std::uint8_t> gapped = Bytes({
      0x85, 0xC0,        // 401000 test eax, eax
      0x74, 0x05,        // 401002 jz 401009
      0xFF, 0xE0,        // 401004 jmp eax
      0x90, 0x90, 0xC3,  // 401006 gap code
      0xC3,              // 401009
  });
  f = Parse(gapped);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.areas.size(), 3u);
  EXPECT_EQ(f.areas[1].start, 0x401006u);

  // A gap that cannot be parsed is dropped and the function stays valid.
  gapped[6] = 0xFE;
  gapped[7] = 0xFF;  // invalid
  f = Parse(gapped);
  ASSERT_TRUE(f.valid);
  EXPECT_EQ(f.areas.size(), 2u);
}

TEST(DisasmParser, FarGapIsNotParsed) {
  std::vector<std::uint8_t> code(0x600, 0x90);
  code[0] = 0x85;
  code[1] = 0xC0;  // test eax, eax
  code[2] = 0x0F;
  code[3] = 0x84;  // jz 401500
  std::uint32_t disp = 0x500 - 8;
  std::memcpy(&code[4], &disp, 4);
  code[8] = 0xFF;
  code[9] = 0xE0;  // jmp eax
  code[0x500] = 0xC3;
  TFunctionInfo f = Parse(code);
  ASSERT_TRUE(f.valid);
  EXPECT_EQ(f.areas.size(), 2u);  // the gap at 40100a lies 1270 bytes before the end
  ASSERT_EQ(f.unknownTransfers.size(), 1u);
  EXPECT_EQ(f.unknownTransfers[0].isCall, 0);
}

TEST(DisasmParser, HelpersEndAreasAndOpenHandlers) {
  TRuntimeHelpers helpers;
  helpers.throwRoutines.push_back(0x401020);
  helpers.handleAnyException = 0x401030;
  std::vector<std::uint8_t> code = Bytes({
      0xE8, 0x1B, 0x00, 0x00, 0x00,  // 401000 call 401020 (throw: never returns)
      0xFE, 0xFF,                    // 401005 garbage after the throw
  });
  code.resize(0x40, 0xC3);
  TFunctionInfo f = Parse(code, helpers);
  ASSERT_TRUE(f.valid);
  EXPECT_EQ(f.areas.size(), 1u);
  EXPECT_EQ(f.areas[0].end, 0x401005u);
  // Without the helper, the garbage makes the function invalid.
  TFunctionInfo bad = Parse(code);
  EXPECT_FALSE(bad.valid);
  EXPECT_EQ(bad.errorNumber, 0x770001u);
  EXPECT_EQ(bad.errorText, "Invalid code!");
  EXPECT_EQ(bad.errorAddress, kFunction);

  // A jump to the any-exception helper: the handler code follows it.
  std::vector<std::uint8_t> handler = Bytes({
      0xE9, 0x2B, 0x00, 0x00, 0x00,  // 401000 jmp 401030
      0x33, 0xC0, 0xC3,              // 401005 handler
  });
  handler.resize(0x40, 0xC3);
  f = Parse(handler, helpers);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.areas.size(), 2u);
  EXPECT_EQ(f.areas[1].start, 0x401005u);
  ASSERT_EQ(f.farCalls.size(), 1u);
  EXPECT_FALSE(f.farCalls[0].isCall);
}

TEST(DisasmParser, OnExceptionTableBecomesABlock) {
  TRuntimeHelpers helpers;
  helpers.handleOnException = 0x401080;
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
  TFunctionInfo f = Parse(code, helpers);
  ASSERT_TRUE(f.valid);
  ASSERT_EQ(f.areas.size(), 4u);
  EXPECT_TRUE(f.areas[1].exceptionHandlerTable);
  EXPECT_EQ(f.areas[1].start, 0x401005u);
  EXPECT_EQ(f.areas[1].end, 0x401005u + 4 + 16);
  EXPECT_EQ(f.areas[2].start, 0x401020u);
  EXPECT_EQ(f.areas[3].start, 0x401024u);
}

TEST(DisasmParser, EntryOutsideCommittedMemory) {
  TMemoryImage image = Code(kFunction, Bytes({0xC3}));
  TFunctionInfo f = ParseFunction(image, 0x500000, nullptr, {});
  EXPECT_FALSE(f.valid);
  EXPECT_EQ(f.errorNumber, 87u);
  EXPECT_EQ(f.errorAddress, 0x500000u);
  EXPECT_FALSE(f.errorText.empty());
}

TEST(DisasmParser, AreaRunningOutOfTheModuleIsInvalid) {
  TFunctionInfo f = Parse(Bytes({0x90, 0x90, 0x8B}));
  EXPECT_FALSE(f.valid);
  EXPECT_EQ(f.errorNumber, kInvalidCodeError);
}

TEST(DisasmParser, HeadersThatDoNotCoverTheEntryFallBackToItsRegion) {
  // Found by fuzzing: an image whose headers give ranges away from the entry point.
  std::vector<std::uint8_t> m = ModuleBytes(0x3000);
  Put32(m, 0x58 + 56, 0x10);    // size of image far too small
  Put32(m, 0x58 + 8, 0);        // no data
  Put32(m, 0x58 + 24, 0x2800);  // base of data after the entry
  m[0x2000] = 0x90;
  m[0x2001] = 0xC3;
  TMemoryImage image;
  image.Add(0x400000, m, kReadable, 0x400000);
  TFunctionInfo f = ParseFunction(image, 0x402000, nullptr, {});
  ASSERT_TRUE(f.valid);
  EXPECT_EQ(f.codeLength, 2u);
}

TEST(DisasmParser, OverwritableWithSixPlainBytes) {
  TFunctionInfo f = Parse(Bytes({0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0xC3}));
  ASSERT_TRUE(f.valid);
  EXPECT_TRUE(f.overwritable);
  EXPECT_EQ(f.relocatedSize, 7u + 4);
}

}  // namespace
}  // namespace ostrel::test
