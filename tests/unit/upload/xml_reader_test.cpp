#include "crash/ui/upload/xml_reader.h"

#include <gtest/gtest.h>

#include "crash/ui/upload/xml_escape.h"

namespace ostrel::upload {
namespace {

TEST(XmlReader, ElementsAttributesAndText) {
  const XmlDocument d = ReadXml(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- top -->\n"
      "<SOAP-ENV:Envelope a='1' b=\"x &amp; &#x3C;y&#62;\">\n"
      "  <Body><?pi data?><item>one</item><item k=\"v\"/><![CDATA[<raw> & ]]]>&lt;&#233;&#x20AC;"
      "</Body>\r\n</SOAP-ENV:Envelope>\n<!-- after -->\n");
  ASSERT_TRUE(d.ok) << d.error;
  const XmlElement& root = d.root;
  EXPECT_EQ(root.name, "SOAP-ENV:Envelope");
  EXPECT_EQ(root.LocalName(), "Envelope");
  ASSERT_NE(root.Attribute("b"), nullptr);
  EXPECT_EQ(*root.Attribute("a"), "1");
  EXPECT_EQ(*root.Attribute("b"), "x & <y>");
  EXPECT_EQ(root.Attribute("c"), nullptr);
  const XmlElement* body = root.Child("Body");
  ASSERT_NE(body, nullptr);
  ASSERT_EQ(body->children.size(), 2u);
  EXPECT_EQ(body->children[0].text, "one");
  EXPECT_EQ(*body->children[1].Attribute("k"), "v");
  EXPECT_EQ(body->text, "<raw> & ]<\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(root.FindAll("item").size(), 2u);
  EXPECT_EQ(root.Find("Body"), body);
  EXPECT_EQ(root.Find("Envelope"), &root);
  EXPECT_EQ(root.Find("none"), nullptr);
}

TEST(XmlReader, LineEndsAsXmlReadsThem) {
  const XmlDocument d = ReadXml("<a t=\"1\r\n2\t3\">x\r\ny\rz&#13;\n</a>");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.root.text, "x\ny\nz\r\n");
  EXPECT_EQ(*d.root.Attribute("t"), "1 2 3");
}

TEST(XmlReader, EscapedTextComesBackEqual) {
  const std::string value = "<admin> & <suspended> \"q\" 'a' <priority:2>\r\nnext]]>\tline\r\n";
  const XmlDocument d =
      ReadXml("<v a=\"" + XmlEscaped(value, true) + "\">" + XmlEscaped(value) + "</v>");
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.root.text, value);
  EXPECT_EQ(*d.root.Attribute("a"), value);
  // Characters XML cannot carry are replaced, never written raw.
  EXPECT_EQ(XmlEscaped(std::string_view("a\x01z")), "a\xEF\xBF\xBDz");
  EXPECT_EQ(DecodeXmlEntities("&lt;a&gt; &amp;lt; &quot;&apos; &unknown; &"),
            "<a> &lt; \"' &unknown; &");
}

TEST(XmlReader, MalformedDocumentsAreRefused) {
  const char* bad[] = {
      "",
      "   ",
      "text",
      "<a>",
      "<a></b>",
      "<a><b></a></b>",
      "<a/><b/>",
      "<a/>text",
      "text<a/>",
      "<a x=1/>",
      "<a x=\"1\" x=\"2\"/>",
      "<a x=\"1\"y=\"2\"/>",
      "<a x=\"<\"/>",
      "<a>&unknown;</a>",
      "<a>&lt</a>",
      "<a>&#0;</a>",
      "<a>&#xD800;</a>",
      "<a>&#x110000;</a>",
      "<a>&#xZZ;</a>",
      "<a>]]></a>",
      "<a><!-- a -- b --></a>",
      "<a><![CDATA[x</a>",
      "<1a/>",
      "<a>\x01</a>",
      "<a>\xC3</a>",
      "<a>\xC0\xAF</a>",
      "<a>\xED\xA0\x80</a>",
      "<a>\xFF</a>",
      "<a><?xml version=\"1.0\"?></a>",
      "<?xml version=\"1.0\"?><?xml version=\"1.0\"?><a/>",
      "<a></a   x>",
      "< a/>",
  };
  for (const char* text : bad) {
    const XmlDocument d = ReadXml(text);
    EXPECT_FALSE(d.ok) << text;
    EXPECT_FALSE(d.error.empty()) << text;
  }
}

TEST(XmlReader, NoDocumentTypeSoNoEntityExpansion) {
  const XmlDocument d = ReadXml(
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
      "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">]><a>&lol2;</a>");
  EXPECT_FALSE(d.ok);
  EXPECT_NE(d.error.find("DOCTYPE"), std::string::npos) << d.error;
  EXPECT_FALSE(ReadXml("<a>&lol2;</a>").ok);
}

TEST(XmlReader, LimitsOnDepthCountAndSize) {
  XmlLimits limits;
  limits.maxDepth = 10;
  limits.maxElements = 20;
  limits.maxInput = 200;
  limits.maxAttributes = 2;
  auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; i < depth; ++i) text += "</a>";
    return text;
  };
  EXPECT_TRUE(ReadXml(nested(10), limits).ok);
  EXPECT_FALSE(ReadXml(nested(11), limits).ok);
  std::string many = "<r>";
  for (int i = 0; i < 19; ++i) many += "<b/>";
  EXPECT_TRUE(ReadXml(many + "</r>", limits).ok);
  EXPECT_FALSE(ReadXml(many + "<b/></r>", limits).ok);
  EXPECT_FALSE(ReadXml("<a>" + std::string(200, 'x') + "</a>", limits).ok);
  EXPECT_TRUE(ReadXml("<a x=\"1\" y=\"2\"/>", limits).ok);
  EXPECT_FALSE(ReadXml("<a x=\"1\" y=\"2\" z=\"3\"/>", limits).ok);
  // The default depth holds deep input back long before the stack would.
  const XmlDocument deep = ReadXml(std::string(100000, '<'));
  EXPECT_FALSE(deep.ok);
  std::string opened;
  for (int i = 0; i < 100000; ++i) opened += "<a>";
  EXPECT_FALSE(ReadXml(opened).ok);
}

}  // namespace
}  // namespace ostrel::upload
