// Assistant pages as stored: reading the form stream, its faults, writing it.
#include "crash/ui/assistant/form_stream.h"

#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <stdexcept>

#include "tests/unit/assistant/form_test_support.h"

namespace ostrel::assistant {
namespace {

using test::StreamBytes;

// A page with every value type on the page and its items, and an item
// holding an item of its own.
std::vector<std::uint8_t> EveryTypeStream() {
  StreamBytes s;
  s.Object("TNVForm", "Page");
  s.Property("I8", 2).Raw({0xFE});
  s.Property("I16", 3).Raw({0x00, 0x80});
  s.Property("I32", 4).Raw({0x00, 0x00, 0x00, 0x80});
  s.Property("S", 6).Short("a\xE9");
  s.Property("Id", 7).Short("nvo\xC3\xA9");
  s.Property("F", 8);
  s.Property("T", 9);
  s.Property("L", 12).U32(2).Raw({'h', 0xE9});
  s.Property("W", 18).U32(2).Raw({0xAC, 0x20, 'x', 0});
  s.Property("U", 20).U32(3).Raw({0xE2, 0x82, 0xAC});
  s.End();
  s.Object("INVButton", "Ok").Property("Caption", 6).Short("OK").End();
  s.End();  // no children
  s.Object("INVPanel", "Box").End();
  s.Object("INVLabel", "Inner").Property("Lines", 2).Raw({9}).End().End();
  s.Object("INVLabel", "Inner2").End().End();
  s.End();  // Box's children
  s.End();  // the page's children
  return s.data;
}

std::u16string Text(const StreamProperty& p) {
  const Latin1CodePage latin1;
  return PropertyText(p, latin1);
}

int CountItems(const FormObject& o) {
  int n = static_cast<int>(o.properties.size()) + 1;
  for (const FormObject& c : o.children) n += CountItems(c);
  return n;
}

// `part` holds what `whole` holds up to some point in the stream's order.
bool IsPrefixOf(const FormObject& part, const FormObject& whole) {
  if (part.className != whole.className || part.name != whole.name) return false;
  if (part.properties.size() > whole.properties.size()) return false;
  for (std::size_t i = 0; i < part.properties.size(); ++i)
    if (test::Describe(part.properties[i]) != test::Describe(whole.properties[i])) return false;
  if (part.children.empty()) return true;
  if (part.properties.size() != whole.properties.size()) return false;
  if (part.children.size() > whole.children.size()) return false;
  for (std::size_t i = 0; i + 1 < part.children.size(); ++i)
    if (CountItems(part.children[i]) != CountItems(whole.children[i]) ||
        !IsPrefixOf(part.children[i], whole.children[i]))
      return false;
  return IsPrefixOf(part.children.back(), whole.children[part.children.size() - 1]);
}

TEST(FormStream, ReadsNestedObjectsWithEveryValueType) {
  const ParsedForm p = ReadFormStream(EveryTypeStream());
  ASSERT_EQ(p.stop, FormStop::End);
  EXPECT_EQ(p.stopOffset, EveryTypeStream().size());
  EXPECT_EQ(p.root.className, "TNVForm");
  EXPECT_EQ(p.root.name, "Page");
  ASSERT_EQ(p.root.properties.size(), 10u);
  const auto& props = p.root.properties;
  EXPECT_EQ(props[0].integer, -2);
  EXPECT_EQ(props[1].integer, -32768);
  EXPECT_EQ(props[2].integer, INT32_MIN);
  EXPECT_EQ(props[2].kind, ValueKind::Integer);
  EXPECT_FALSE(props[3].wide);
  EXPECT_EQ(props[3].narrow, "a\xE9");
  EXPECT_EQ(props[4].typeByte, 7);
  EXPECT_EQ(props[4].kind, ValueKind::String);
  EXPECT_EQ(props[4].text, u"nvo\u00E9");
  EXPECT_EQ(props[5].kind, ValueKind::Boolean);
  EXPECT_FALSE(props[5].boolean);
  EXPECT_TRUE(props[6].boolean);
  EXPECT_EQ(props[7].narrow, "h\xE9");
  EXPECT_EQ(props[8].text, u"\u20ACx");
  EXPECT_EQ(props[9].text, u"\u20AC");
  ASSERT_EQ(p.root.children.size(), 2u);
  EXPECT_EQ(p.root.children[0].className, "INVButton");
  EXPECT_EQ(p.root.children[0].properties[0].narrow, "OK");
  const FormObject& box = p.root.children[1];
  EXPECT_TRUE(box.properties.empty());
  ASSERT_EQ(box.children.size(), 2u);
  EXPECT_EQ(box.children[0].name, "Inner");
  EXPECT_EQ(box.children[0].properties[0].integer, 9);
  EXPECT_EQ(box.children[1].name, "Inner2");
  EXPECT_TRUE(FormStreamErrorText(p).empty());
}

TEST(FormStream, WritesBackTheBytesItRead) {
  const auto bytes = EveryTypeStream();
  EXPECT_EQ(WriteFormStream(ReadFormStream(bytes).root), bytes);
}

TEST(FormStream, WrittenTreesReadBackEqual) {
  FormObject root{"TNVForm", "Built", {}, {}};
  root.properties = {MakeIntProperty("Small", -5),
                     MakeIntProperty("Mid", 1000),
                     MakeIntProperty("Big", -70000),
                     MakeBoolProperty("On", true),
                     MakeBoolProperty("Off", false),
                     MakeTextProperty("Ascii", u"plain"),
                     MakeTextProperty("Long", std::u16string(300, u'x')),
                     MakeTextProperty("Euro", u"\u20AC 5"),
                     MakeTextProperty("Lone",
                                      u"a\xD800"
                                      u"b")};
  FormObject item{"INVEdit", "Edit", {MakeIntProperty("Lines", 9)}, {}};
  item.children.push_back({"INVLabel", "", {}, {}});
  root.children = {item, {"INVButton", "Ok", {}, {}}};
  const ParsedForm p = ReadFormStream(WriteFormStream(root));
  ASSERT_EQ(p.stop, FormStop::End);
  test::ExpectSameTree(p.root, root);
  EXPECT_EQ(p.root.properties[8].text,
            u"a\xD800"
            u"b");
}

TEST(FormStream, EveryTruncationKeepsAPrefixOfThePage) {
  const auto bytes = EveryTypeStream();
  const FormObject whole = ReadFormStream(bytes).root;
  int lastCount = 0;
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + n);
    const ParsedForm p = ReadFormStream(cut);
    if (n < 4) {
      EXPECT_EQ(p.stop, FormStop::NoSignature) << n;
      continue;
    }
    ASSERT_EQ(p.stop, FormStop::Truncated) << n;
    EXPECT_LE(p.stopOffset, n);
    // Cut inside the page's own header: nothing of it is kept.
    const bool headerRead = !p.root.className.empty();
    EXPECT_TRUE(headerRead ? IsPrefixOf(p.root, whole) : p.root.properties.empty()) << n;
    const int count = headerRead ? CountItems(p.root) : 0;
    EXPECT_GE(count, lastCount) << n;
    lastCount = count;
    EXPECT_EQ(FormStreamErrorText(p), u"Internal error: Invalid assistant resource (truncated).");
  }
  EXPECT_EQ(lastCount, CountItems(whole));  // all but the page's final 0
}

TEST(FormStream, ObjectsCutInsideKeepWhatTheyRead) {
  StreamBytes s;
  s.Object("TNVForm", "Page").Property("A", 2).Raw({1}).End();
  s.Object("INVEdit", "Edit").Property("Lines", 2).Raw({3});
  const std::size_t cutRecord = s.data.size();
  s.Property("Caption", 6).Raw({5, 'a'});
  const ParsedForm p = ReadFormStream(s.data);
  ASSERT_EQ(p.stop, FormStop::Truncated);
  EXPECT_EQ(p.stopOffset, cutRecord);
  ASSERT_EQ(p.root.children.size(), 1u);
  EXPECT_EQ(p.root.children[0].name, "Edit");
  ASSERT_EQ(p.root.children[0].properties.size(), 1u);
  EXPECT_EQ(p.root.children[0].properties[0].integer, 3);
}

TEST(FormStream, UnknownTypesStopWithTheirNumber) {
  for (int type : {0, 1, 5, 10, 11, 13, 17, 19, 21, 255}) {
    StreamBytes s;
    s.Object("TNVForm", "Page").Property("Timer", 2).Raw({0}).End();
    s.Object("INVButton", "Ok").Property("Caption", 6).Short("OK");
    const std::size_t badRecord = s.data.size();
    s.Property("Font", static_cast<std::uint8_t>(type)).Raw({1, 2, 3}).End().End().End();
    const ParsedForm p = ReadFormStream(s.data);
    ASSERT_EQ(p.stop, FormStop::UnknownType) << type;
    EXPECT_EQ(p.badType, type);
    EXPECT_EQ(p.stopOffset, badRecord);
    EXPECT_EQ(p.root.properties.size(), 1u);
    ASSERT_EQ(p.root.children.size(), 1u);
    ASSERT_EQ(p.root.children[0].properties.size(), 1u);
    EXPECT_EQ(p.root.children[0].properties[0].narrow, "OK");
    const std::string expected =
        "Internal error: Invalid assistant resource (" + std::to_string(type) + ").";
    EXPECT_EQ(FormStreamErrorText(p), std::u16string(expected.begin(), expected.end()));
  }
}

TEST(FormStream, NestingBeyondTheLimitStops) {
  auto chain = [](int depth) {
    StreamBytes s;
    s.Object("TNVForm", "Page").End();
    for (int i = 1; i <= depth; ++i) s.Object("INVPanel", "P" + std::to_string(i)).End();
    for (int i = 0; i <= depth; ++i) s.End();
    return s.data;
  };
  auto depthOf = [](const FormObject& root) {
    int d = 0;
    for (const FormObject* o = &root; !o->children.empty(); o = &o->children[0]) ++d;
    return d;
  };
  const ParsedForm deepest = ReadFormStream(chain(kMaxFormDepth));
  EXPECT_EQ(deepest.stop, FormStop::End);
  EXPECT_EQ(depthOf(deepest.root), kMaxFormDepth);
  for (int depth : {kMaxFormDepth + 1, kMaxFormDepth + 50}) {
    const ParsedForm p = ReadFormStream(chain(depth));
    ASSERT_EQ(p.stop, FormStop::TooDeep) << depth;
    EXPECT_EQ(depthOf(p.root), kMaxFormDepth);
    EXPECT_EQ(FormStreamErrorText(p),
              u"Internal error: Invalid assistant resource (nested too deeply).");
  }
  // A tree the reader would refuse is not written either.
  FormObject tree = ReadFormStream(chain(kMaxFormDepth)).root;
  FormObject* leaf = &tree;
  while (!leaf->children.empty()) leaf = &leaf->children[0];
  EXPECT_NO_THROW(WriteFormStream(tree));
  leaf->children.push_back({"INVPanel", "TooFar", {}, {}});
  EXPECT_THROW(WriteFormStream(tree), std::invalid_argument);
}

TEST(FormStream, WithoutTheSignatureNothingIsRead) {
  for (const std::vector<std::uint8_t>& data : std::vector<std::vector<std::uint8_t>>{
           {}, {'T', 'P', 'F'}, {'T', 'P', 'F', '1', 7, 'T', 'N', 'V', 'F', 'o', 'r', 'm'}}) {
    const ParsedForm p = ReadFormStream(data);
    EXPECT_EQ(p.stop, FormStop::NoSignature);
    EXPECT_TRUE(p.root.className.empty());
    EXPECT_TRUE(FormStreamErrorText(p).empty());
  }
  // The signature alone: a page cut before its header.
  const ParsedForm bare = ReadFormStream(StreamBytes().data);
  EXPECT_EQ(bare.stop, FormStop::Truncated);
  EXPECT_EQ(bare.stopOffset, 4u);
}

TEST(FormStream, PropertyTextOfEachType) {
  const ParsedForm p = ReadFormStream(EveryTypeStream());
  ASSERT_EQ(p.stop, FormStop::End);
  const std::u16string expected[] = {u"-2", u"-32768", u"-2147483648", u"a\u00E9", u"nvo\u00E9",
                                     u"0",  u"1",      u"h\u00E9",     u"\u20ACx", u"\u20AC"};
  for (std::size_t i = 0; i < std::size(expected); ++i)
    EXPECT_EQ(Text(p.root.properties[i]), expected[i]) << p.root.properties[i].name;
  EXPECT_EQ(Text(MakeIntProperty("Timer", 250)), u"250");
}

TEST(FormStream, WriterRefusesWhatTheFormatCannotHold) {
  FormObject longName{"TNVForm", std::string(256, 'n'), {}, {}};
  EXPECT_THROW(WriteFormStream(longName), std::invalid_argument);
  FormObject longClass{std::string(256, 'c'), "Page", {}, {}};
  EXPECT_THROW(WriteFormStream(longClass), std::invalid_argument);
  FormObject noClassChild{"TNVForm", "Page", {}, {{"", "Item", {}, {}}}};
  EXPECT_THROW(WriteFormStream(noClassChild), std::invalid_argument);
  FormObject unnamedProperty{"TNVForm", "Page", {MakeIntProperty("", 1)}, {}};
  EXPECT_THROW(WriteFormStream(unnamedProperty), std::invalid_argument);
  StreamProperty tooBig = MakeIntProperty("Timer", 300);
  tooBig.typeByte = stream_type::kInt8;
  EXPECT_THROW(WriteFormStream({"TNVForm", "Page", {tooBig}, {}}), std::invalid_argument);
  // The page itself may go without a class name; it has no terminator to
  // be taken for.
  const ParsedForm p = ReadFormStream(WriteFormStream({"", "", {}, {}}));
  EXPECT_EQ(p.stop, FormStop::End);
}

TEST(FormStream, PageResourceNames) {
  EXPECT_EQ(PageResourceName(u"ContactForm"), u"OAPCONTACTFORM");
  EXPECT_EQ(PageResourceName(u"scrShot_2"), u"OAPSCRSHOT_2");
  EXPECT_EQ(PageResourceName(u"\u00E9t\u00E9"), u"OAP\u00E9T\u00E9");
  EXPECT_EQ(PageResourceName(u""), u"OAP");
}

}  // namespace
}  // namespace ostrel::assistant
