#include "crash/report/disasm/exception_address.h"

#include <gtest/gtest.h>

#include "tests/unit/disasm/test_memory.h"

namespace ostrel::test {
namespace {

// push ebp; mov ebp, esp; call 401100; mov eax, [ebp+8]; call 401100;
// pop ebp; ret -- and at 401100 a ret.
TMemoryImage TwoCalls() {
  std::vector<std::uint8_t> code(0x200, 0xCC);
  const std::vector<std::uint8_t> body =
      Bytes({0x55, 0x8B, 0xEC, 0xE8, 0xF8, 0x00, 0x00, 0x00, 0x8B, 0x45, 0x08, 0xE8, 0xF0, 0x00,
             0x00, 0x00, 0x5D, 0xC3});
  std::copy(body.begin(), body.end(), code.begin());
  code[0x100] = 0xC3;
  return Code(0x401000, code);
}

TEST(ExceptionAddress, MovesIntoTheFollowingInstructionOnlyFromInsideACallsDisplacement) {
  const TMemoryImage image = TwoCalls();
  const std::uint32_t f = 0x401000;
  struct Case {
    std::uint32_t in, out;
  } cases[] = {
      {0x401000, 0x401000},  // an instruction start stays
      {0x401008, 0x401008},  // a return address (and instruction start) stays
      {0x401004, 0x401008},  // return address - 4 of the first call
      {0x40100C, 0x401010},  // return address - 4 of the second call
      {0x401009, 0x401009},  // inside mov, and 4 on is inside the call: stays
      {0x401001, 0x401001}, {0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CorrectExceptionAddress(image, c.in, f), c.out) << std::hex << c.in;
  }
}

TEST(ExceptionAddress, UnreadableFunctionLeavesTheAddressAlone) {
  const TMemoryImage image = TwoCalls();
  EXPECT_EQ(CorrectExceptionAddress(image, 0x500004, 0x500000), 0x500004u);
  EXPECT_EQ(CorrectExceptionAddress(image, 0x401004, 0), 0x401004u);
}

}  // namespace
}  // namespace ostrel::test
