// Compares the decoder with Zydis on generated opcodes, random bytes and real Windows code.
#include <gtest/gtest.h>

#include "tests/support/skip_or_fail.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <fstream>
#include <random>

#include "crash/report/disasm/memory_image.h"
#include "tests/unit/disasm/oracle.h"

namespace ostrel::test {
namespace {

void ExpectAllExplained(const TTally& tally, const std::string& title) {
  std::printf("%s", tally.Report(title).c_str());
  for (const std::string& s : tally.unexplained) ADD_FAILURE() << title << ": " << s;
}

// Fixed inputs give fixed counts: an allowed class that grows hides a
// regression in a documented instruction.
void ExpectClassCounts(const TTally& tally, const std::map<std::string, long>& expected) {
  EXPECT_EQ(tally.classes, expected);
}

TEST(DisasmOracle, OpcodeGridAgreesWithZydis) {
  TTally tally;
  const std::uint8_t prefixes[4] = {0, 0x66, 0xF2, 0xF3};
  std::uint8_t buf[16];
  for (std::uint8_t prefix : prefixes) {
    for (int map = 0; map < 2; ++map) {
      for (int op = 0; op < 256; ++op) {
        for (int modrm = 0; modrm < 256; ++modrm) {
          size_t k = 0;
          if (prefix) buf[k++] = prefix;
          if (map) buf[k++] = 0x0F;
          buf[k++] = std::uint8_t(op);
          buf[k++] = std::uint8_t(modrm);
          // SIB, displacement and immediate bytes that point nowhere readable.
          while (k < sizeof buf) buf[k++] = 0x11;
          tally.Compare(buf, 15, 0x401000, false);
        }
      }
    }
  }
  // 3DNow!: every suffix byte with a register and a memory operand.
  for (int suffix = 0; suffix < 256; ++suffix) {
    for (std::uint8_t modrm : {std::uint8_t(0xC1), std::uint8_t(0x00), std::uint8_t(0x45)}) {
      std::uint8_t b[8] = {0x0F, 0x0F, modrm, 0, 0, 0, 0, 0};
      size_t k = 3;
      if (modrm == 0x45) b[k++] = 0x10;  // [ebp+16]
      b[k] = std::uint8_t(suffix);
      tally.Compare(b, k + 1, 0x401000, false);
    }
  }
  ExpectAllExplained(tally, "opcode grid");
  ExpectClassCounts(tally, {{"extension", 4251},
                            {"lock", 872},
                            {"mpx", 960},
                            {"rel16-target", 10299},
                            {"salc", 1064},
                            {"unreadable-pointer", 16},
                            {"vex", 8},
                            {"x87-alias", 300}});
}

TEST(DisasmOracle, RandomBytesAtEveryOffsetAgreeWithZydis) {
  std::mt19937 rng(20261209);
  std::vector<std::uint8_t> bytes(64 * 1024 + 16);
  for (auto& b : bytes) b = std::uint8_t(rng());
  TTally tally;
  for (size_t at = 0; at + 16 <= bytes.size(); ++at)
    tally.Compare(bytes.data() + at, 15, std::uint32_t(0x10000000 + at), at % 16 == 0);
  ExpectAllExplained(tally, "random bytes");
  ExpectClassCounts(tally, {{"extension", 12},
                            {"lock", 231},
                            {"rel16-target", 30},
                            {"salc", 247},
                            {"unreadable-pointer", 8},
                            {"vex", 8},
                            {"x87-alias", 77}});
  // The second opinion is held to its figure as well.
  ASSERT_GT(tally.capstoneTotal, 4000);
  EXPECT_GE(tally.capstoneAgree * 1000, tally.capstoneTotal * 990);
}

std::filesystem::path WineDllFolder() {
  if (const char* env = std::getenv("PELMORA_WINE_DLLS")) return env;
  return PELMORA_WINE_DLLS_DEFAULT;
}

void SweepDll(const std::filesystem::path& file, TTally& tally) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<TCodeSection> sections;
  std::uint32_t imageBase = 0;
  if (!PeCodeSections(bytes, sections, imageBase)) return;
  // Indirect transfers read their pointers from the image as the loader lays it out.
  TMemoryImage image;
  std::string error;
  if (!MapPeImage(bytes, imageBase, image, error)) return;
  const TMemoryImage::Block& mapped = image.Blocks().front();
  for (const TCodeSection& s : sections) {
    size_t at = s.rva, end = std::min<size_t>(s.rva + s.bytes.size(), mapped.bytes.size());
    while (at < end) {
      size_t n = std::min<size_t>(15, mapped.bytes.size() - at);
      at += size_t(
          tally.Compare(mapped.bytes.data() + at, n, imageBase + std::uint32_t(at), true, &image));
    }
  }
}

// Real code: the 32-bit DLLs Wine ships. A few by default; PELMORA_ORACLE_FULL=1 sweeps all.
TEST(DisasmOracle, WineDllCodeAgreesWithZydis) {
  std::filesystem::path folder = WineDllFolder();
  if (!std::filesystem::is_directory(folder))
    PELMORA_SKIP_OR_FAIL("no 32-bit Wine DLLs found (set PELMORA_WINE_DLLS to their folder)");
  bool full = std::getenv("PELMORA_ORACLE_FULL") != nullptr;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".dll") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  if (!full) {
    std::vector<std::filesystem::path> some;
    for (const char* name : {"ntdll.dll", "kernelbase.dll", "msvcrt.dll", "user32.dll"})
      if (std::filesystem::exists(folder / name)) some.push_back(folder / name);
    files = some;
  }
  if (files.empty()) PELMORA_SKIP_OR_FAIL("no DLLs in " << folder.filename());
  TTally tally;
  for (const auto& f : files) SweepDll(f, tally);
  ExpectAllExplained(tally, "Wine DLL code (" + std::to_string(files.size()) + " files)");
  // Real compiled code: every difference is a known class, and they are rare.
  EXPECT_GT(tally.agree, tally.total * 999 / 1000);
  EXPECT_GT(tally.capstoneAgree, tally.capstoneTotal * 999 / 1000);
}

}  // namespace
}  // namespace ostrel::test
