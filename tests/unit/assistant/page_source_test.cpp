// The readable page source: what it reads, the value types it stores, its
// errors, and the source it writes back.
#include "tools/pages/page_source.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/unit/assistant/form_test_support.h"

namespace ostrel::assistant {
namespace {

const Latin1CodePage kLatin1;

TEST(PageSource, ReadsObjectsAndStoresEachValueInItsType) {
  const FormObject page = ParsePageSource(
      "\xEF\xBB\xBF# a page\r\n"
      "object ContactForm: TNVForm\r\n"
      "  Message = 'It''s %LF% here'\n"
      "  Long = '" +
      std::string(256, 'x') +
      "'\n"
      "  Accent = 'caf\xC3\xA9'\n"
      "\n"
      "    # indented comment\n"
      "  Small = -128\n"
      "  Mid = 128\n"
      "  Big = -2147483648\n"
      "  On = TRUE\n"
      "  Off = false\n"
      "  Kind = nvoHeader\n"
      "  Font.Name = 'x'\n"
      "  end = 1\n"
      "  Empty = ''\n"
      "  object Label1: INVLabel\n"
      "  end\n"
      "  OBJECT INVPanel\n"
      "    object Inner: INVLabel\n"
      "      Caption='tight'\n"
      "    END\n"
      "  end\n"
      "end\n"
      "# trailing comment\n");
  EXPECT_EQ(page.className, "TNVForm");
  EXPECT_EQ(page.name, "ContactForm");
  using namespace stream_type;
  struct Expected {
    const char* name;
    std::uint8_t type;
    std::u16string text;
  };
  const Expected expected[] = {{"Message", kString, u"It's %LF% here"},
                               {"Long", kLString, std::u16string(256, u'x')},
                               {"Accent", kUtf8LString, u"caf\u00E9"},
                               {"Small", kInt8, u"-128"},
                               {"Mid", kInt16, u"128"},
                               {"Big", kInt32, u"-2147483648"},
                               {"On", kTrue, u"1"},
                               {"Off", kFalse, u"0"},
                               {"Kind", kUtf8, u"nvoHeader"},
                               {"Font.Name", kString, u"x"},
                               {"end", kInt8, u"1"},
                               {"Empty", kString, u""}};
  ASSERT_EQ(page.properties.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const StreamProperty& p = page.properties[i];
    EXPECT_EQ(p.name, expected[i].name);
    EXPECT_EQ(p.typeByte, expected[i].type) << p.name;
    EXPECT_EQ(PropertyText(p, kLatin1), expected[i].text) << p.name;
  }
  EXPECT_EQ(page.properties[8].kind, ValueKind::String);
  ASSERT_EQ(page.children.size(), 2u);
  EXPECT_EQ(page.children[0].name, "Label1");
  EXPECT_EQ(page.children[1].className, "INVPanel");
  EXPECT_EQ(page.children[1].name, "");
  ASSERT_EQ(page.children[1].children.size(), 1u);
  EXPECT_EQ(PropertyText(page.children[1].children[0].properties[0], kLatin1), u"tight");
  // What it read, it writes as stored.
  const ParsedForm stored = ReadFormStream(WriteFormStream(page));
  ASSERT_EQ(stored.stop, FormStop::End);
  test::ExpectSameTree(stored.root, page);
}

TEST(PageSource, ErrorsNameTheLine) {
  struct Case {
    std::string source;
    int line;
    const char* message;
  };
  const std::string deep = [] {
    std::string s;
    for (int i = 0; i <= kMaxFormDepth + 1; ++i) s += "object P" + std::to_string(i) + ": T\n";
    return s;
  }();
  const Case cases[] = {
      {"object A: T\n  Caption = 'open\nend\n", 2, "unterminated string"},
      {"object A: T\n  object B: T\n  end\n", 1, "object A has no 'end'"},
      {"object A: T\n  object B: T\n", 2, "object B has no 'end'"},
      {"# lead\nCaption = 'x'\nobject A: T\nend\n", 2, "property outside an object"},
      {"object A: T\n  9Lives = 1\nend\n", 2, "bad property name '9Lives'"},
      {"object A: T\n  Caption 'x'\nend\n", 2, "expected 'Name = value'"},
      {"object 1A: T\nend\n", 1, "bad object name '1A'"},
      {"object A: T-x\nend\n", 1, "expected 'object Name: Class'"},
      {"object A:\nend\n", 1, "bad class name ''"},
      {"object A: T\n  Timer = 2147483648\nend\n", 2, "integer out of range"},
      {"object A: T\n  Timer = -2147483649\nend\n", 2, "integer out of range"},
      {"object A: T\nend\nobject B: T\nend\n", 3, "text after the final 'end'"},
      {"object A: T\nend\n  Caption = 'x'\n", 3, "text after the final 'end'"},
      {"end\n", 1, "'end' without an object"},
      {"object A: T\n  object B: T\n  end\n  Caption = 'x'\nend\n", 4,
       "properties come before the child objects"},
      {"object A: T\n  Caption = 'x' 'y'\nend\n", 2, "text after the value"},
      {"object A: T\n  Caption = \"x\"\nend\n", 2, "bad value"},
      {"object A: T\n  Timer = 12ab\nend\n", 2, "bad value"},
      {"object A: T\n  Timer = -\nend\n", 2, "bad value"},
      {"object A: T\n  Caption =\nend\n", 2, "missing value"},
      {"object A: T\n  Caption = 'a\rb'\nend\n", 2, "a line break inside a text"},
      {"object A: T\n  Caption = 'caf\xE9'\nend\n", 2, "not valid UTF-8"},
      {"object A: T\n  " + std::string(256, 'N') + " = 1\nend\n", 2, "longer than 255"},
      {"# nothing\n\n", 2, "the source has no object"},
      {"", 1, "the source has no object"},
      {deep, kMaxFormDepth + 2, "nested deeper than"},
  };
  for (const Case& c : cases) {
    try {
      ParsePageSource(c.source);
      ADD_FAILURE() << c.source;
    } catch (const PageSourceError& e) {
      EXPECT_EQ(e.line(), c.line) << c.source;
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what() << "\n"
                                                                          << c.source;
      EXPECT_EQ(std::string(e.what()).rfind("line " + std::to_string(c.line) + ": ", 0), 0u)
          << e.what();
    }
  }
}

TEST(PageSource, WritesWhatItReads) {
  const std::string source =
      "object ScrShotForm: TNVForm\n"
      "  Message = 'It''s'\n"
      "  Accent = '\xE2\x82\xAC'\n"
      "  ActiveControl = ContinueBtn\n"
      "  Timer = 250\n"
      "  Big = 70000\n"
      "  On = True\n"
      "  Off = False\n"
      "  object INVPanel\n"
      "    object Inner: INVLabel\n"
      "      Caption = ''\n"
      "    end\n"
      "  end\n"
      "end\n";
  EXPECT_EQ(WritePageSource(ParsePageSource(source), kLatin1), source);
}

TEST(PageSource, StoredValuesAreShownAsTheEngineReadsThem) {
  using namespace stream_type;
  StreamProperty latin = MakeTextProperty("Latin", u"");
  latin.wide = false;
  latin.narrow = "caf\xE9";
  latin.typeByte = kString;
  StreamProperty wide = MakeTextProperty("Wide", u"\u20AC");
  wide.typeByte = kWString;
  StreamProperty looksBoolean = MakeTextProperty("Id", u"True");
  looksBoolean.typeByte = kUtf8;
  StreamProperty spaced = MakeTextProperty("Id2", u"two words");
  spaced.typeByte = kUtf8;
  const FormObject page{"TNVForm", "Page", {latin, wide, looksBoolean, spaced}, {}};
  const std::string text = WritePageSource(page, kLatin1);
  EXPECT_EQ(text,
            "object Page: TNVForm\n"
            "  Latin = 'caf\xC3\xA9'\n"
            "  Wide = '\xE2\x82\xAC'\n"
            "  Id = 'True'\n"
            "  Id2 = 'two words'\n"
            "end\n");
  // The same texts come back, each in the type a source gives it.
  const FormObject again = ParsePageSource(text);
  test::ExpectSameTree(again, page);
  EXPECT_EQ(again.properties[2].kind, ValueKind::String);
}

TEST(PageSource, RefusesToWriteWhatALineCannotHold) {
  const FormObject spacedName{"TNVForm", "Two words", {}, {}};
  EXPECT_THROW(WritePageSource(spacedName, kLatin1), std::invalid_argument);
  const FormObject noClass{"", "Page", {}, {}};
  EXPECT_THROW(WritePageSource(noClass, kLatin1), std::invalid_argument);
  const FormObject badUtf8{"TNVForm", "Page\xFF", {}, {}};
  EXPECT_THROW(WritePageSource(badUtf8, kLatin1), std::invalid_argument);
  const FormObject lineBreak{"TNVForm", "Page", {MakeTextProperty("Caption", u"a\r\nb")}, {}};
  EXPECT_THROW(WritePageSource(lineBreak, kLatin1), std::invalid_argument);
}

TEST(PageSource, PageNames) {
  EXPECT_TRUE(IsPageName("ContactForm"));
  EXPECT_TRUE(IsPageName("_Page2"));
  EXPECT_FALSE(IsPageName(""));
  EXPECT_FALSE(IsPageName("2Page"));
  EXPECT_FALSE(IsPageName("Font.Name"));
  EXPECT_FALSE(IsPageName("caf\xC3\xA9"));
}

}  // namespace
}  // namespace ostrel::assistant
