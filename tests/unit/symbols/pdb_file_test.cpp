#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/unit/symbols/test_pdb.h"
#include "crash/report/symbols/pdb_file.h"

namespace ostrel {
namespace {

TPdbCheck Check(const std::vector<std::uint8_t>& file) {
  return CheckPdbFile([&file](std::uint64_t offset,
                              std::uint32_t length) -> std::optional<std::vector<std::uint8_t>> {
    if (offset > file.size() || file.size() - offset < length) return std::nullopt;
    const auto at = file.begin() + static_cast<std::ptrdiff_t>(offset);
    return std::vector<std::uint8_t>(at, at + length);
  });
}

TEST(PdbFile, ASoundContainerGivesTheIdentityItWasWrittenFor) {
  const TPdbCheck check = Check(test::PdbFile(test::kPdbGuid, 3));
  ASSERT_TRUE(check.sound);
  ASSERT_TRUE(check.identity);
  EXPECT_EQ(check.identity->guid, test::kPdbGuid);
  EXPECT_EQ(check.identity->age, 3u);

  const TPdbIdentity module{test::kPdbGuid, 2};
  EXPECT_TRUE(PdbBelongsToModule(*check.identity, module));
  EXPECT_TRUE(PdbBelongsToModule(*check.identity, {test::kPdbGuid, 3}));
  EXPECT_FALSE(PdbBelongsToModule(*check.identity, {test::kPdbGuid, 4}));  // older than the module
  auto other = test::kPdbGuid;
  other[15] ^= 1;
  EXPECT_FALSE(PdbBelongsToModule(*check.identity, {other, 3}));
}

// Damage the debug-help library would read past or trust.
TEST(PdbFile, TruncatedOrInconsistentContainersAreRefused) {
  const std::vector<std::pair<std::string, std::function<void(std::vector<std::uint8_t>&)>>>
      damage = {
          {"cut short", [](auto& f) { f.resize(f.size() - 1); }},
          {"no header", [](auto& f) { f.resize(40); }},
          {"other signature", [](auto& f) { f[20] = '8'; }},
          {"odd block size", [](auto& f) { test::Put32(f, 32, 600); }},
          {"block count beyond the file", [](auto& f) { test::Put32(f, 40, 8); }},
          {"free map block", [](auto& f) { test::Put32(f, 36, 3); }},
          {"directory list beyond the blocks", [](auto& f) { test::Put32(f, 52, 7); }},
          {"directory block beyond the blocks", [](auto& f) { test::Put32(f, 3 * 512, 9); }},
          {"directory list over one block", [](auto& f) { test::Put32(f, 44, 129 * 512); }},
          {"directory as large as it gets", [](auto& f) { test::Put32(f, 44, 0xFFFFFFFFu); }},
          {"stream count beyond the directory", [](auto& f) { test::Put32(f, 4 * 512, 50); }},
          {"stream block beyond the blocks", [](auto& f) { test::Put32(f, 4 * 512 + 20, 7); }},
          {"stream sizes beyond the directory",
           [](auto& f) { test::Put32(f, 4 * 512 + 12, 0x10000000); }},
          {"info stream too short", [](auto& f) { test::Put32(f, 4 * 512 + 8, 20); }},
          {"no info stream", [](auto& f) { test::Put32(f, 4 * 512 + 8, 0xFFFFFFFFu); }},
      };
  for (const auto& [name, harm] : damage) {
    std::vector<std::uint8_t> file = test::PdbFile(test::kPdbGuid, 1);
    harm(file);
    EXPECT_FALSE(Check(file).sound) << name;
  }
}

TEST(PdbFile, OldSingleStreamFormatIsCheckedForItsLengthOnly) {
  std::vector<std::uint8_t> file(4 * 1024, 0);
  const char magic[] =
      "Microsoft C/C++ program database 2.00\r\n\x1a"
      "JG\0";
  std::memcpy(file.data(), magic, sizeof magic);
  test::Put32(file, 44, 1024);
  test::Put16(file, 50, 4);
  const TPdbCheck check = Check(file);
  EXPECT_TRUE(check.sound);
  EXPECT_FALSE(check.identity);
  file.resize(3 * 1024 + 10);
  EXPECT_FALSE(Check(file).sound);
}

TEST(PdbFile, TheModuleNamesItsPdbInItsCodeViewRecord) {
  const std::vector<std::uint8_t> linked = test::ImageLinkedWith(test::kPdbGuid, 7);
  for (const bool mapped : {true, false}) {
    const auto identity = ModulePdbIdentity(TPeImage(linked, mapped));
    ASSERT_TRUE(identity) << mapped;
    EXPECT_EQ(identity->guid, test::kPdbGuid);
    EXPECT_EQ(identity->age, 7u);
  }
  EXPECT_FALSE(ModulePdbIdentity(TPeImage(test::MappedImage({}), true)));
  EXPECT_FALSE(ModulePdbIdentity(TPeImage(test::ImageLinkedWith(test::kPdbGuid, 1, "NB10"), true)));
}

}  // namespace
}  // namespace ostrel
