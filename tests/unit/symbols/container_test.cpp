#include <gtest/gtest.h>

#include "crash/report/symbols/container.h"
#include "crash/report/symbols/container_writer.h"
#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

TSymbolSource SampleSource() {
  TSymbolSource s;
  s.segments = {{0x0, 0x200, "PelmoraForm.cpp", true},
                {0x200, 0x300, "goldmine_link.cpp", true},
                {0x500, 0x40, "vector.h", false}};
  s.publics = {{"TPelmoraForm::ShowWebsites", 0x10},
               {"TPelmoraForm::Timer1Timer", 0x1A0},  // delta above a signed byte
               {"QueryValue", 0x200},
               {"std::vector<int>::size", 0x500}};
  // Lines come in any order; the writer sorts them by address.
  s.lines = {{140, 0x10}, {141, 0x14}, {139, 0x20}, {2000, 0x1A0}, {12, 0x200}, {13, 0x203}};
  s.entryPoint = 0x1A0;
  return s;
}

TMapFile EmptyModule() {
  TMapFile m;
  m.codeBase = 0x401000;
  m.codeTop = 0x402000;
  return m;
}

TEST(SymbolContainer, RoundTripKeepsUnitsPublicsLinesAndEntryPoint) {
  const auto container = BuildContainer(SampleSource(), false, 0x1234, 0xABCD);
  TMapFile m = EmptyModule();
  ASSERT_TRUE(ReadContainer(m, container, nullptr));
  EXPECT_TRUE(m.valid);
  EXPECT_TRUE(m.stamp.empty());
  ASSERT_EQ(m.segments.size(), 3u);
  EXPECT_EQ(m.segments[0].unit, u"PelmoraForm");  // toolchain extension removed
  EXPECT_EQ(m.segments[2].unit, u"vector");
  EXPECT_EQ(m.segments[1].start, 0x401200u);
  ASSERT_EQ(m.publics.size(), 4u);
  EXPECT_EQ(m.publics[0].name, u"TPelmoraForm.ShowWebsites");
  EXPECT_EQ(m.publics[1].address, 0x4011A0u);
  EXPECT_EQ(m.publics[3].name, u"std.vector<int>.size");
  ASSERT_EQ(m.lines.size(), 6u);
  EXPECT_EQ(m.lines[2].line, 139);
  EXPECT_EQ(m.lines[3].line, 2000);
  EXPECT_EQ(m.lines[3].address, 0x4011A0u);
  EXPECT_EQ(m.entryPoint, 0x4011A0u);

  const TLineAnswer line = LineAt(m, 0x401016);
  EXPECT_EQ(line.line, 141);
  EXPECT_EQ(line.rangeEnd, 0x401020u);
  EXPECT_EQ(PublicAt(m, 0x401201).name, u"QueryValue");
}

TEST(SymbolContainer, MinimalDataHasPlaceholderNamesAndNoLines) {
  const auto container = BuildContainer(SampleSource(), true, 1, 2);
  TMapFile m = EmptyModule();
  ASSERT_TRUE(ReadContainer(m, container, nullptr));
  ASSERT_EQ(m.publics.size(), 4u);
  EXPECT_EQ(m.publics[3].name, u"public%3");
  EXPECT_EQ(m.segments[1].unit, u"segment%1");
  EXPECT_TRUE(m.lines.empty());
  EXPECT_EQ(LineAt(m, 0x401210).line, -1);  // unit had lines
  EXPECT_EQ(LineAt(m, 0x401510).line, 0);   // unit had none
}

TEST(SymbolContainer, StampIsLengthAndBothPartsInLowerCaseHex) {
  const auto container = BuildContainer(SampleSource(), false, 0xDEADBEEF, 0x10);
  const auto header = ReadContainerHeader(container);
  ASSERT_TRUE(header);
  const std::string stamp =
      ContainerStamp(static_cast<std::uint32_t>(container.size()), header->stampA, header->stampB);
  EXPECT_EQ(stamp.size(), 31u);
  EXPECT_EQ(stamp, "$" + HexText(static_cast<std::uint32_t>(container.size()), 8) +
                       ", $deadbeef, $00000010");
}

TEST(SymbolContainer, DamagedContainersAreRefusedAndLeaveSymbolsAlone) {
  const auto good = BuildContainer(SampleSource(), false, 1, 2);
  auto flipped = good;
  flipped[kHeaderV3 + 20] ^= 0x5A;  // inside the compressed data
  auto truncated = good;
  truncated.resize(good.size() - 3);
  auto badVersion = good;
  badVersion[18] = 4;
  auto badSignature = good;
  badSignature[0] = 'X';
  auto shortOne = std::vector<std::uint8_t>(good.begin(), good.begin() + 22);
  for (const auto* c : {&flipped, &truncated, &badVersion, &badSignature, &shortOne}) {
    TMapFile m = EmptyModule();
    m.publics.push_back({true, true, u"kept", 0x401000});
    EXPECT_FALSE(ReadContainer(m, *c, nullptr));
    ASSERT_EQ(m.publics.size(), 1u);
    EXPECT_EQ(m.publics[0].name, u"kept");
  }
}

TEST(SymbolContainer, StampMustMatchWhenTheObjectHasOne) {
  const auto container = BuildContainer(SampleSource(), false, 7, 8);
  const auto size = static_cast<std::uint32_t>(container.size());
  TMapFile wrong = EmptyModule();
  wrong.stamp = ContainerStamp(size, 7, 9);
  EXPECT_FALSE(ReadContainer(wrong, container, nullptr));
  TMapFile right = EmptyModule();
  right.stamp = ContainerStamp(size, 7, 8);
  EXPECT_TRUE(ReadContainer(right, container, nullptr));
}

TEST(SymbolContainer, VersionTwoHasNoStampFields) {
  const auto v3 = BuildContainer(SampleSource(), false, 0, 0);
  std::vector<std::uint8_t> v2(v3.begin(), v3.begin() + 22);
  v2[18] = 2;
  v2.insert(v2.end(), v3.begin() + kHeaderV3, v3.end());
  TMapFile m = EmptyModule();
  ASSERT_TRUE(ReadContainer(m, v2, nullptr));
  EXPECT_EQ(m.publics.size(), 4u);
}

TEST(SymbolContainer, MinimalContainerPrefersTheMatchingLooseFile) {
  const auto full = BuildContainer(SampleSource(), false, 5, 6);
  const std::string fullStamp = ContainerStamp(static_cast<std::uint32_t>(full.size()), 5, 6);
  const auto minimal = BuildContainer(SampleSource(), true, 5, 6);
  for (const bool matching : {true, false}) {
    TContainerContext context;
    context.minDebugInfo = [&]() -> std::optional<std::string> {
      return matching ? fullStamp : ContainerStamp(1, 5, 6);
    };
    context.readOstrelFile = [&](TMapFile& m) { return ReadContainer(m, full, nullptr); };
    TMapFile m = EmptyModule();
    ASSERT_TRUE(ReadContainer(m, minimal, &context));
    EXPECT_EQ(m.publics[0].name, matching ? u"TPelmoraForm.ShowWebsites" : u"public%0");
    EXPECT_EQ(m.stamp.empty(), matching);
  }
}

TEST(SymbolContainer, LongNamesAreCutAtACharacterBoundary) {
  std::string name(254, 'a');
  name += "\xC3\xA9";  // two-byte character across the 255-byte limit
  const std::string fitted = FitPackedString(name);
  EXPECT_EQ(fitted.size(), 254u);
  TSymbolSource s;
  s.publics = {{name, 0}};
  TMapFile m = EmptyModule();
  ASSERT_TRUE(ReadContainer(m, BuildContainer(s, false, 0, 0), nullptr));
  EXPECT_EQ(m.publics[0].name, std::u16string(254, u'a'));
}

TEST(SymbolContainer, PayloadCountsBeyondTheDataAreRefused) {
  std::vector<std::uint8_t> payload = {0xFF, 0xFF, 0xFF, 0x7F};
  TMapFile m = EmptyModule();
  EXPECT_FALSE(ReadPayload(m, payload, false));
  EXPECT_FALSE(ReadPayload(m, {}, false));
}

}  // namespace
}  // namespace ostrel
