#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/unit/symbols/test_image.h"
#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/symbol_sources.h"
#include "crash/report/symbols/td32_reader.h"

namespace ostrel {
namespace {

void Add16(std::vector<std::uint8_t>& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Add32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// TD32 data: names 1 "C:\src\Orders.cpp", 2 "Refresh", 3 "Counter", 4 "Helper";
// one module with a code segment at 0x100 of 0x80 bytes and one data segment;
// lines 27..29; a global procedure, a local one and a data symbol.
std::vector<std::uint8_t> Td32(const char* signature) {
  std::vector<std::vector<std::uint8_t>> subs;
  std::vector<std::uint16_t> types;
  std::vector<std::uint8_t> names;
  Add32(names, 4);
  for (std::string n : {"C:\\src\\Orders.cpp", "Refresh", "Counter", "Helper"}) {
    names.push_back(static_cast<std::uint8_t>(n.size()));
    names.insert(names.end(), n.begin(), n.end());
    names.push_back(0);
  }
  std::vector<std::uint8_t> module;
  Add16(module, 0), Add16(module, 0), Add16(module, 2), Add16(module, 0x5643);
  Add32(module, 1), Add32(module, 0), Add32(module, 0), Add32(module, 0), Add32(module, 0);
  Add16(module, 1), Add16(module, 1), Add32(module, 0x100), Add32(module, 0x80);
  Add16(module, 2), Add16(module, 0), Add32(module, 0x0), Add32(module, 0x10);  // kind 0: skipped
  std::vector<std::uint8_t> source;
  Add16(source, 1), Add16(source, 1), Add32(source, 8);   // one file at 8
  Add16(source, 1), Add32(source, 1), Add32(source, 24);  // file: one block at 24
  source.resize(24, 0);
  Add16(source, 1), Add16(source, 3);
  for (std::uint32_t o : {0x100u, 0x108u, 0x110u}) Add32(source, o);
  for (std::uint16_t l : {27, 28, 29}) Add16(source, l);
  std::vector<std::uint8_t> symbols(std::string(signature) == "FB0A" ? 16 : 4, 0);
  auto proc = [&](std::uint16_t type, std::uint32_t offset, std::uint32_t name) {
    Add16(symbols, 42), Add16(symbols, type);
    for (int i = 0; i < 6; ++i) Add32(symbols, 0);
    Add32(symbols, offset), Add16(symbols, 1), Add16(symbols, 0), Add32(symbols, 0);
    Add32(symbols, name);
  };
  proc(0x205, 0x100, 2);
  proc(0x204, 0x140, 4);
  Add16(symbols, 18), Add16(symbols, 0x202);
  Add32(symbols, 0x20), Add16(symbols, 2), Add16(symbols, 0), Add32(symbols, 0), Add32(symbols, 3);
  subs = {names, module, source, symbols};
  types = {0x130, 0x120, 0x127,
           static_cast<std::uint16_t>(std::string(signature) == "FB0A" ? 0x129 : 0x125)};
  std::vector<std::uint8_t> out(signature, signature + 4);
  Add32(out, 0);  // directory offset, set below
  std::vector<std::uint32_t> at;
  for (const auto& s : subs) {
    at.push_back(static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  const auto dir = static_cast<std::uint32_t>(out.size());
  Add16(out, 16), Add16(out, 12), Add32(out, 4), Add32(out, 0), Add32(out, 0);
  for (std::size_t i = 0; i < subs.size(); ++i) {
    Add16(out, types[i]), Add16(out, 1), Add32(out, at[i]);
    Add32(out, static_cast<std::uint32_t>(subs[i].size()));
  }
  for (int i = 0; i < 4; ++i)
    out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(dir >> (8 * i));
  return out;
}

TMapFile Module() {
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x402000;
  return m;
}

TEST(Td32, ModulesLinesAndProceduresBecomeUnitsLinesAndPublics) {
  TMapFile m = Module();
  ASSERT_TRUE(ReadTd32(m, Td32("FB0A"), true));
  ASSERT_EQ(m.segments.size(), 1u);
  EXPECT_EQ(m.segments[0].unit, u"Orders");
  EXPECT_EQ(m.segments[0].start, 0x401100u);
  ASSERT_EQ(m.publics.size(), 2u);  // the data symbol is left out: code only
  EXPECT_EQ(m.publics[0].name, u"Refresh");
  EXPECT_EQ(m.publics[1].name, u"Helper");
  const TAddressInfo info = DescribeInSymbols(m, 0x40110A);
  EXPECT_EQ(info.line, 28);
  EXPECT_EQ(info.functionName, u"Refresh");
}

// A directory entry count whose table size wraps in 32 bits (12 times it is
// 2^32 + 8) must not send the reader through its entries.
TEST(Td32, ADirectoryCountBeyondTheDataYieldsNothing) {
  auto data = Td32("FB0A");
  const std::size_t dir = data[4] | data[5] << 8 | data[6] << 16 | std::size_t{data[7]} << 24;
  for (const std::uint32_t count : {0x15555556u, 0xFFFFFFFFu, 5u}) {
    for (int i = 0; i < 4; ++i)
      data[dir + 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(count >> (8 * i));
    TMapFile m = Module();
    EXPECT_FALSE(ReadTd32(m, data, false)) << count;
  }
}

TEST(Td32, FirstPassTakesOnlyFb0aAndOtherDataIsRefused) {
  TMapFile m = Module();
  EXPECT_FALSE(ReadTd32(m, Td32("FB09"), true));
  EXPECT_TRUE(ReadTd32(m, Td32("FB09"), false));
  auto bad = Td32("FB0A");
  bad[3] = 'X';
  EXPECT_FALSE(ReadTd32(m, bad, false));
  auto cut = Td32("FB0A");
  cut.resize(cut.size() / 2);  // directory gone
  TMapFile empty = Module();
  EXPECT_FALSE(ReadTd32(empty, cut, false));
}

class Files : public ISymbolEnvironment {
 public:
  std::vector<std::uint8_t> image = test::MappedImage({});
  std::map<std::u16string, std::pair<std::vector<std::uint8_t>, std::int64_t>> files;
  std::span<const std::uint8_t> MappedImage() override { return image; }
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::u16string& p) override {
    if (!files.count(p)) return std::nullopt;
    return files[p].first;
  }
  bool FileExists(const std::u16string& p) override { return files.count(p) != 0; }
  std::optional<std::int64_t> LastWriteMinutes(const std::u16string& p) override {
    if (!files.count(p)) return std::nullopt;
    return files[p].second;
  }
  bool ReadPdb(TMapFile&, const std::u16string&) override { return false; }
};

// The debug data as the module file's last section, found through the
// file's own headers (the module need not be mapped).
TEST(Td32, TheModuleFileCarriesItInItsLastSection) {
  for (const bool lastSection : {true, false}) {
    std::vector<std::uint8_t> file = test::MappedImage({});
    const auto data = Td32("FB0A");
    const auto pointer = static_cast<std::uint32_t>(file.size());
    file.insert(file.end(), data.begin(), data.end());
    const std::uint32_t directory = lastSection ? test::kResourceRva : test::kCodeRva;
    test::Put32(file, 0x98 + 96 + 6 * 8, directory);
    test::Put32(file, 0x98 + 100 + 6 * 8, 28);
    test::Put32(file, directory + 16, static_cast<std::uint32_t>(data.size()));
    test::Put32(file, directory + 24, pointer);
    Files env;
    env.image.clear();
    env.files[u"C:\\app\\Debug.exe"] = {file, 0};
    TMapFile m;
    m.moduleFileName = u"C:\\app\\Debug.exe";
    BuildModuleSymbols(m, env);
    EXPECT_EQ(m.valid, lastSection);
    if (lastSection) {
      EXPECT_EQ(DescribeInSymbols(m, 0x10A).functionName, u"Refresh");
    }
  }
}

TEST(Td32, AMapFileNewerThanTheTdsFileWins) {
  const std::string map =
      " Start         Length     Name                   Class\r\n"
      " 0001:00401000 00001000H .text                  CODE\r\n"
      "Publics by Value\r\n"
      " 0001:00000100       FromMap\r\n";
  for (const std::int64_t mapMinute : {100, 99, 101}) {
    Files env;
    env.files[u"C:\\app\\Old.tds"] = {Td32("FB0A"), 100};
    env.files[u"C:\\app\\Old.map"] = {std::vector<std::uint8_t>(map.begin(), map.end()), mapMinute};
    TMapFile m;
    m.moduleHandle = 0x400000;
    m.moduleFileName = u"C:\\app\\Old.exe";
    BuildModuleSymbols(m, env);
    ASSERT_TRUE(m.valid);
    // Compared in whole minutes: only a later minute makes the map newer.
    EXPECT_EQ(DescribeInSymbols(m, 0x401100).functionName,
              mapMinute > 100 ? u"FromMap" : u"Refresh");
  }
}

}  // namespace
}  // namespace ostrel
