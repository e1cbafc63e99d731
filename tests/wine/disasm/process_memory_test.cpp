// The live-process reader under Windows: snapshot classes, execute-only pages, faults.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/instruction_text.h"
#include "crash/report/disasm/listing.h"
#include "crash/report/disasm/module_ranges.h"
#include "crash/report/disasm/win/process_memory.h"

namespace ostrel {
namespace {

std::uint32_t Addr(const void* p) { return std::uint32_t(std::uintptr_t(p)); }

// A page with the given code and protection.
std::uint8_t* PageWith(const std::uint8_t* code, size_t size, DWORD protection) {
  auto* page = static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!page) return nullptr;
  std::memset(page, 0xCC, 4096);
  std::memcpy(page, code, size);
  DWORD old = 0;
  VirtualProtect(page, 4096, protection, &old);
  return page;
}

const std::uint8_t kFunction[] = {0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x85,
                                  0xC0, 0x74, 0x02, 0x8B, 0x00, 0x5D, 0xC3};

TEST(DisasmProcess, ExecuteOnlyPageIsReadable) {
  std::uint8_t* page = PageWith(kFunction, sizeof kFunction, PAGE_EXECUTE);
  ASSERT_NE(page, nullptr);
  TProcessMemoryReader reader;
  TRegionInfo info;
  ASSERT_TRUE(reader.Query(Addr(page), info));
  EXPECT_EQ(info.cls, kExecuteOnly);
  std::uint8_t copy[sizeof kFunction] = {};
  EXPECT_TRUE(GuardedRead(Addr(page), copy, sizeof copy, nullptr));
  EXPECT_EQ(std::memcmp(copy, kFunction, sizeof copy), 0);
  // The protection is unchanged afterwards.
  MEMORY_BASIC_INFORMATION mbi;
  VirtualQuery(page, &mbi, sizeof mbi);
  EXPECT_EQ(mbi.Protect, DWORD(PAGE_EXECUTE));

  std::string text;
  DecodeInstructionText(reader, Addr(page) + 3, nullptr, nullptr, text);
  EXPECT_NE(text.find("mov     eax, [ebp+8]"), std::string::npos) << text;

  TFunctionInfo f;
  std::string listing =
      DisassembleFunction(reader, Addr(page), Addr(page) + 10, {}, nullptr, {}, f);
  EXPECT_TRUE(f.valid);
  EXPECT_NE(listing.find("> mov     eax, [eax]"), std::string::npos) << listing;
  VirtualFree(page, 0, MEM_RELEASE);
}

TEST(DisasmProcess, SnapshotClassesAndGuardedReads) {
  std::uint8_t* exec = PageWith(kFunction, sizeof kFunction, PAGE_EXECUTE);
  std::uint8_t* none = PageWith(kFunction, sizeof kFunction, PAGE_NOACCESS);
  std::uint8_t* guard = PageWith(kFunction, sizeof kFunction, PAGE_READWRITE | PAGE_GUARD);
  std::uint8_t* data = PageWith(kFunction, sizeof kFunction, PAGE_READONLY);
  ASSERT_TRUE(exec && none && guard && data);
  std::unique_ptr<TDATryRead> snapshot = SnapshotReadableMemory();
  ASSERT_TRUE(snapshot);
  ASSERT_FALSE(snapshot->runs.empty());
  for (size_t i = 1; i < snapshot->runs.size(); ++i) {
    EXPECT_EQ(snapshot->runs[i].start, snapshot->runs[i - 1].end);
    EXPECT_NE(snapshot->runs[i].cls, snapshot->runs[i - 1].cls);  // neighbours merged
  }
  EXPECT_EQ(ClassifyRange(*snapshot, Addr(exec), 16), kExecuteOnly);
  EXPECT_EQ(ClassifyRange(*snapshot, Addr(none), 16), kNotReadable);
  EXPECT_EQ(ClassifyRange(*snapshot, Addr(guard), 16), kNotReadable);
  EXPECT_EQ(ClassifyRange(*snapshot, Addr(data), 16), kReadable);
  EXPECT_EQ(ClassifyRange(*snapshot, Addr(&kFunction), sizeof kFunction), kReadable);
  EXPECT_EQ(ClassifyRange(*snapshot, 0, 4), kNotReadable);

  std::uint8_t buf[4];
  EXPECT_FALSE(GuardedRead(Addr(none), buf, 4, snapshot.get()));
  EXPECT_FALSE(GuardedRead(Addr(none), buf, 4, nullptr));
  EXPECT_FALSE(GuardedRead(Addr(guard), buf, 4, nullptr));
  EXPECT_FALSE(GuardedRead(0, buf, 4, nullptr));
  EXPECT_TRUE(GuardedRead(Addr(exec), buf, 4, snapshot.get()));
  EXPECT_TRUE(GuardedRead(Addr(data), buf, 4, nullptr));
  // A read running off the end of a readable region.
  EXPECT_FALSE(GuardedRead(Addr(data) + 4094, buf, 4, snapshot.get()));

  // Decoding in memory that cannot be read yields "invalid", not a fault.
  TProcessMemoryReader reader(snapshot.get());
  EXPECT_FALSE(DecodeInstruction(reader, Addr(none), snapshot.get(), nullptr).valid);
  TFunctionInfo f = ParseFunction(reader, Addr(none), snapshot.get(), {});
  EXPECT_FALSE(f.valid);
  f = ParseFunction(reader, 0x10, snapshot.get(), {});
  EXPECT_FALSE(f.valid);
  EXPECT_EQ(f.errorNumber, 87u);

  ReleaseSnapshot(snapshot);
  EXPECT_FALSE(snapshot);
  for (std::uint8_t* p : {exec, none, guard, data}) VirtualFree(p, 0, MEM_RELEASE);
}

TEST(DisasmProcess, ModuleRangesOfTheProgramItself) {
  // The program's own code lies in the code range its headers give.
  TProcessMemoryReader reader;
  std::uint32_t code = Addr(reinterpret_cast<const void*>(&PageWith));
  TModuleRanges m;
  ASSERT_TRUE(ModuleRangesAt(reader, code, m));
  EXPECT_EQ(m.base, Addr(GetModuleHandleW(nullptr)));
  EXPECT_GE(code, m.codeBegin);
  EXPECT_LT(code, m.codeEnd);
  EXPECT_GT(m.size, m.codeEnd - m.base - 1);
}

}  // namespace
}  // namespace ostrel
