#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/unit/symbols/test_image.h"
#include "tests/unit/symbols/test_pdb.h"
#include "crash/report/symbols/container.h"
#include "crash/report/symbols/container_writer.h"
#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/settings_stamp.h"
#include "crash/report/symbols/symbol_sources.h"

namespace ostrel {
namespace {

constexpr std::uint32_t kBase = 0x400000;

class FakeEnvironment : public ISymbolEnvironment {
 public:
  std::vector<std::uint8_t> image;
  std::map<std::u16string, std::vector<std::uint8_t>> files;
  std::vector<std::u16string> pdbReads;
  std::uint32_t pdbCorrection = 0;

  std::span<const std::uint8_t> MappedImage() override { return image; }
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::u16string& path) override {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  }
  bool FileExists(const std::u16string& path) override { return files.count(path) != 0; }
  std::optional<std::int64_t> LastWriteMinutes(const std::u16string&) override { return 0; }
  bool ReadPdb(TMapFile& symbols, const std::u16string& path) override {
    pdbReads.push_back(path);
    pdbCorrection = symbols.pdbCorrection;
    return false;
  }
};

TSymbolSource Source(const std::string& function) {
  TSymbolSource s;
  s.segments = {{0, 0x100, "PelmoraForm.cpp", true}};
  s.publics = {{"Helper", 0x0}, {function, 0x20}};
  s.lines = {{10, 0x0}, {20, 0x20}, {21, 0x28}};
  return s;
}

std::vector<std::uint8_t> Settings(const std::string& minDebugInfo) {
  std::vector<std::uint8_t> s = {'T', 'P', 'F', '0', 7,   'T', 'O', 's', 't', 'r',
                                 'e', 'l', 6,   'O', 's', 't', 'r', 'e', 'l', 0};
  return minDebugInfo.empty() ? s : SetMinDebugInfo(s, minDebugInfo);
}

std::vector<std::uint8_t> MapNaming(const std::string& function) {
  const std::string map =
      " Start         Length     Name                   Class\r\n"
      " 0001:00401000 00001000H .text                  CODE\r\n"
      "Publics by Value\r\n"
      " 0001:00000020       " +
      function + "\r\n";
  return std::vector<std::uint8_t>(map.begin(), map.end());
}

TMapFile Build(FakeEnvironment& env) {
  TMapFile m;
  m.moduleHandle = kBase;
  m.moduleFileName = u"C:\\app\\Pelmora.exe";
  BuildModuleSymbols(m, env);
  return m;
}

TEST(SymbolSources, TheResourceComesFirst) {
  FakeEnvironment env;
  env.image =
      test::MappedImage({{{0, kSymbolResourceType},
                          {0, kSymbolResourceName},
                          0,
                          0,
                          BuildContainer(Source("TPelmoraForm::ShowWebsites"), false, 1, 2)}});
  env.files[u"C:\\app\\Pelmora.ostrel"] = BuildContainer(Source("FromFile"), false, 1, 2);
  const TMapFile m = Build(env);
  ASSERT_TRUE(m.valid);
  EXPECT_EQ(m.codeBase, kBase + test::kCodeRva);
  EXPECT_EQ(m.codeTop, kBase + test::kCodeRva + test::kCodeSize);
  const TAddressInfo info = DescribeInSymbols(m, kBase + 0x1029);
  EXPECT_TRUE(info.found);
  EXPECT_EQ(info.unit, u"PelmoraForm");
  EXPECT_EQ(info.functionName, u"TPelmoraForm.ShowWebsites");
  EXPECT_EQ(info.functionStart, kBase + 0x1020);
  EXPECT_EQ(info.line, 21);
  EXPECT_TRUE(env.pdbReads.empty());
}

TEST(SymbolSources, RefusedResourcesFallBackToFilesBesideTheModule) {
  auto corrupt = BuildContainer(Source("A"), false, 1, 2);
  corrupt[kHeaderV3 + 15] ^= 0xFF;
  auto truncated = BuildContainer(Source("A"), false, 1, 2);
  truncated.resize(truncated.size() - 1);
  for (const auto& bad : {corrupt, truncated}) {
    FakeEnvironment env;
    env.image =
        test::MappedImage({{{0, kSymbolResourceType}, {0, kSymbolResourceName}, 0, 0, bad}});
    env.files[u"C:\\app\\Pelmora.ostrel"] = BuildContainer(Source("FromFile"), false, 1, 2);
    const TMapFile m = Build(env);
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(DescribeInSymbols(m, kBase + 0x1020).functionName, u"FromFile");
  }
}

TEST(SymbolSources, FilesAreTriedInOrderPdbMapOstrel) {
  FakeEnvironment env;
  env.image = test::MappedImage({});
  env.files[u"C:\\app\\Pelmora.pdb"] = test::PdbFile(test::kPdbGuid, 1);
  env.files[u"C:\\app\\Pelmora.ostrel"] = BuildContainer(Source("FromFile"), false, 1, 2);
  env.files[u"C:\\app\\Pelmora.map"] = MapNaming("FromMap");
  TMapFile m = Build(env);
  ASSERT_EQ(env.pdbReads.size(), 1u);  // the PDB reader declined
  EXPECT_EQ(env.pdbCorrection, test::kCodeRva);
  EXPECT_EQ(DescribeInSymbols(m, kBase + 0x1020).functionName, u"FromMap");
  env.files.erase(u"C:\\app\\Pelmora.map");
  m = Build(env);
  EXPECT_EQ(DescribeInSymbols(m, kBase + 0x1020).functionName, u"FromFile");
  env.files.clear();
  env.files[u"C:\\app\\Pelmora.jdbg"] = {'J', 'D', 'B', 'G'};  // not read by this build
  m = Build(env);
  EXPECT_FALSE(m.valid);
  EXPECT_FALSE(DescribeInSymbols(m, kBase + 0x1020).found);
}

// Only a PDB of the module's own build reaches the debug-help library: a
// stale or damaged one would name the wrong code or make the library fault.
TEST(SymbolSources, APdbReachesTheLibraryOnlyWhenItIsTheModulesOwn) {
  auto other = test::kPdbGuid;
  other[0] ^= 0xFF;
  auto cut = test::PdbFile(test::kPdbGuid, 2);
  cut.resize(cut.size() - 100);
  const std::vector<std::pair<std::vector<std::uint8_t>, bool>> cases = {
      {test::PdbFile(test::kPdbGuid, 2), true},
      {test::PdbFile(test::kPdbGuid, 1), false},  // older than the module
      {test::PdbFile(other, 2), false},
      {cut, false},
      {BuildContainer(Source("NotAPdb"), false, 1, 2), false}};
  for (std::size_t i = 0; i < cases.size(); ++i) {
    FakeEnvironment env;
    env.image = test::ImageLinkedWith(test::kPdbGuid, 2);
    env.files[u"C:\\app\\Pelmora.pdb"] = cases[i].first;
    env.files[u"C:\\app\\Pelmora.map"] = MapNaming("FromMap");
    const TMapFile m = Build(env);
    EXPECT_EQ(env.pdbReads.size(), cases[i].second ? 1u : 0u) << "case " << i;
    EXPECT_EQ(DescribeInSymbols(m, kBase + 0x1020).functionName, u"FromMap");
  }
}

TEST(SymbolSources, MinimalDataUsesTheLooseFileOnlyWhenItsStampMatches) {
  const auto full = BuildContainer(Source("Named"), false, 0x11, 0x22);
  const std::string stamp = ContainerStamp(static_cast<std::uint32_t>(full.size()), 0x11, 0x22);
  const auto minimal = BuildContainer(Source("Named"), true, 0x11, 0x22);
  for (const bool matching : {true, false}) {
    FakeEnvironment env;
    env.image = test::MappedImage(
        {{{0, kSymbolResourceType}, {0, kSymbolResourceName}, 0, 0, minimal},
         {{10, {}}, {0, u"TOSTREL"}, 0, 0, Settings(matching ? stamp : ContainerStamp(1, 2, 3))}});
    env.files[u"C:\\app\\Pelmora.ostrel"] = full;
    const TMapFile m = Build(env);
    ASSERT_TRUE(m.valid);
    const std::uint32_t at = kBase + 0x1020;
    if (matching) {
      EXPECT_EQ(FunctionNameInSymbols(m, at), u"PelmoraForm.Named");
      EXPECT_TRUE(m.stamp.empty());
    } else {
      EXPECT_EQ(FunctionNameInSymbols(m, at), u"segment%0.public%1 (Pelmora.exe)");
      EXPECT_EQ(m.stamp, ContainerStamp(1, 2, 3));
      EXPECT_EQ(DescribeInSymbols(m, at).line, 0);  // -1 is reported as 0
    }
  }
}

TEST(SymbolSources, MinDebugInfoMustBeThirtyOneCharacters) {
  EXPECT_EQ(FindMinDebugInfo(Settings(ContainerStamp(1, 2, 3))), ContainerStamp(1, 2, 3));
  EXPECT_FALSE(FindMinDebugInfo(Settings("$1, $2")));
  EXPECT_FALSE(FindMinDebugInfo(Settings("")));
  auto bad = Settings(ContainerStamp(1, 2, 3));
  bad[4] = 3;  // wrong class name length
  EXPECT_FALSE(FindMinDebugInfo(bad));
  // Replacing keeps one property.
  const auto twice = SetMinDebugInfo(Settings(ContainerStamp(1, 2, 3)), ContainerStamp(4, 5, 6));
  EXPECT_EQ(FindMinDebugInfo(twice), ContainerStamp(4, 5, 6));
  EXPECT_EQ(twice.size(), Settings(ContainerStamp(1, 2, 3)).size());
}

TEST(SymbolSources, FunctionNamesAndLineRangesForTheDisassembler) {
  FakeEnvironment env;
  env.image = test::MappedImage({{{0, kSymbolResourceType},
                                  {0, kSymbolResourceName},
                                  0,
                                  0,
                                  BuildContainer(Source("Go"), false, 1, 2)}});
  const TMapFile m = Build(env);
  EXPECT_EQ(FunctionNameInSymbols(m, kBase + 0x1020), u"PelmoraForm.Go");
  EXPECT_EQ(FunctionNameInSymbols(m, kBase + 0x1021), u"");
  TLineRangeCache cache;
  std::int32_t line = 0;
  std::uint32_t start = 0, end = 0;
  cache.Query(&m, kBase + 0x1022, line, start, end);
  EXPECT_EQ(line, 20);
  EXPECT_EQ(start, kBase + 0x1022);
  EXPECT_EQ(end, kBase + 0x1028);
  cache.Query(&m, kBase + 0x1024, line, start, end);  // inside: kept
  EXPECT_EQ(start, kBase + 0x1022);
  cache.Query(&m, kBase + 0x1028, line, start, end);
  EXPECT_EQ(line, 21);
  EXPECT_EQ(start, kBase + 0x1028);
}

}  // namespace
}  // namespace ostrel
