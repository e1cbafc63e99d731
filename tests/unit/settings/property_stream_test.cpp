#include "crash/settings/property_stream.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ostrel {
namespace {

std::vector<std::uint8_t> Header() {
  std::vector<std::uint8_t> s = {'T', 'P', 'F', '0', 7,   'T', 'O', 's', 't', 'r',
                                 'e', 'l', 6,   'O', 's', 't', 'r', 'e', 'l'};
  return s;
}

void Add(std::vector<std::uint8_t>& s, const std::string& name, std::uint8_t type,
         std::vector<std::uint8_t> value) {
  s.push_back(static_cast<std::uint8_t>(name.size()));
  s.insert(s.end(), name.begin(), name.end());
  s.push_back(type);
  s.insert(s.end(), value.begin(), value.end());
}

TEST(PropertyStream, ReadsEveryValueTypeWithSignExtension) {
  auto s = Header();
  Add(s, "I8", 2, {0xFE});
  Add(s, "I16", 3, {0x00, 0x80});
  Add(s, "I32", 4, {0xFF, 0xFF, 0xFF, 0x7F});
  Add(s, "N32", 4, {0x00, 0x00, 0x00, 0x80});
  Add(s, "S", 6, {3, 'a', 0xE9, 'c'});
  Add(s, "U", 7, {2, 0xC3, 0xA9});
  Add(s, "F", 8, {});
  Add(s, "T", 9, {});
  Add(s, "L", 12, {2, 0, 0, 0, 'h', 'i'});
  Add(s, "W", 18, {2, 0, 0, 0, 0xAC, 0x20, 'x', 0});
  Add(s, "LU", 20, {3, 0, 0, 0, 0xE2, 0x82, 0xAC});
  s.push_back(0);
  const ParsedStream p = ParsePropertyStream(s);
  ASSERT_EQ(p.stop, StreamStop::End);
  ASSERT_EQ(p.properties.size(), 11u);
  EXPECT_EQ(p.properties[0].integer, -2);
  EXPECT_EQ(p.properties[1].integer, -32768);
  EXPECT_EQ(p.properties[2].integer, 0x7FFFFFFF);
  EXPECT_EQ(p.properties[3].integer, INT32_MIN);
  EXPECT_EQ(p.properties[0].kind, ValueKind::Integer);
  EXPECT_FALSE(p.properties[4].wide);
  EXPECT_EQ(p.properties[4].narrow,
            "a\xE9"
            "c");
  EXPECT_TRUE(p.properties[5].wide);
  EXPECT_EQ(p.properties[5].text, u"\u00E9");
  EXPECT_EQ(p.properties[6].kind, ValueKind::Boolean);
  EXPECT_FALSE(p.properties[6].boolean);
  EXPECT_TRUE(p.properties[7].boolean);
  EXPECT_EQ(p.properties[8].narrow, "hi");
  EXPECT_EQ(p.properties[9].text, u"\u20ACx");
  EXPECT_EQ(p.properties[10].text, u"\u20AC");
}

TEST(PropertyStream, UnknownTypeStopsAndKeepsEarlierProperties) {
  auto s = Header();
  Add(s, "A", 9, {});
  Add(s, "B", 0x1F, {1, 2, 3});
  Add(s, "C", 9, {});
  s.push_back(0);
  const ParsedStream p = ParsePropertyStream(s);
  EXPECT_EQ(p.stop, StreamStop::UnknownType);
  EXPECT_EQ(p.badType, 0x1F);
  ASSERT_EQ(p.properties.size(), 1u);
  EXPECT_EQ(p.properties[0].name, "A");
  EXPECT_EQ(StreamErrorText(p), u"Internal error: Invalid settings resource ($1F).");
}

TEST(PropertyStream, BadHeadersAreNotSettingsStreams) {
  auto wrongSignature = Header();
  wrongSignature[3] = '1';
  auto wrongClass = Header();
  wrongClass[5] = 'X';
  auto wrongObject = Header();
  wrongObject[12] = 5;
  for (const auto& s : {wrongSignature, wrongClass, wrongObject, std::vector<std::uint8_t>{'T'},
                        std::vector<std::uint8_t>{}}) {
    EXPECT_EQ(ParsePropertyStream(s).stop, StreamStop::BadHeader);
  }
}

TEST(PropertyStream, RecordsRunningPastTheEndAreCaught) {
  auto base = Header();
  Add(base, "Ok", 9, {});
  const std::vector<std::vector<std::uint8_t>> tails = {
      {},                                         // no end marker
      {5, 'S', 'h'},                              // name cut
      {1, 'X', 4, 1, 2},                          // 32-bit integer cut
      {1, 'X', 6, 9, 'a'},                        // short string cut
      {1, 'X', 12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},  // huge long string
      {1, 'X', 18, 0xFF, 0xFF, 0xFF, 0x7F, 'a'},  // huge UTF-16 string
  };
  for (const auto& tail : tails) {
    auto s = base;
    s.insert(s.end(), tail.begin(), tail.end());
    const ParsedStream p = ParsePropertyStream(s);
    EXPECT_EQ(p.stop, StreamStop::Truncated);
    ASSERT_EQ(p.properties.size(), 1u);
    EXPECT_FALSE(StreamErrorText(p).empty());
  }
}

TEST(PropertyStream, WriterRoundTripsAndPicksCompactTypes) {
  std::vector<StreamProperty> props = {MakeIntProperty("Small", -5),
                                       MakeIntProperty("Mid", 300),
                                       MakeIntProperty("Big", 100000),
                                       MakeBoolProperty("On", true),
                                       MakeTextProperty("Ascii", u"x"),
                                       MakeTextProperty("Euro", u"\u20AC5"),
                                       MakeTextProperty("Long", std::u16string(300, u'a'))};
  const auto bytes = WritePropertyStream(props);
  const ParsedStream p = ParsePropertyStream(bytes);
  ASSERT_EQ(p.stop, StreamStop::End);
  ASSERT_EQ(p.properties.size(), props.size());
  const std::uint8_t types[] = {2, 3, 4, 9, 6, 7, 12};
  for (std::size_t i = 0; i < props.size(); ++i) EXPECT_EQ(p.properties[i].typeByte, types[i]) << i;
  EXPECT_EQ(p.properties[2].integer, 100000);
  EXPECT_EQ(p.properties[5].text, u"\u20AC5");
  EXPECT_EQ(p.properties[6].narrow.size(), 300u);
}

TEST(PropertyStream, WriterKeepsUnpairedSurrogatesInUtf16) {
  const std::u16string odd = {u'a', char16_t(0xD800), u'b'};
  const ParsedStream p = ParsePropertyStream(WritePropertyStream({MakeTextProperty("X", odd)}));
  ASSERT_EQ(p.properties.size(), 1u);
  EXPECT_EQ(p.properties[0].typeByte, stream_type::kWString);
  EXPECT_EQ(p.properties[0].text, odd);
}

TEST(PropertyStream, WriterRefusesWhatTheFormatCannotHold) {
  auto wrongType = MakeIntProperty("X", 1000);
  wrongType.typeByte = stream_type::kInt8;
  auto emptyName = MakeBoolProperty("", true);
  auto nonAscii = MakeTextProperty("X", u"\u20AC");
  nonAscii.typeByte = stream_type::kString;
  for (const auto& p : {wrongType, emptyName, nonAscii})
    EXPECT_THROW(WritePropertyStream({p}), std::invalid_argument);
}

}  // namespace
}  // namespace ostrel
