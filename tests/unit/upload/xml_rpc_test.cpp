#include "crash/ui/upload/xml_rpc.h"

#include <gtest/gtest.h>

namespace ostrel::upload {
namespace {

TEST(XmlRpcCall, MembersAsWrittenAndEmptyOnesLeftOut) {
  XmlRpcCall call("Bug.add_attachment");
  call.String("Bugzilla_login", u"ann")
      .String("empty", u"")
      .StringArray("exclude_fields", {u"data"})
      .IntArray("ids", {42, 7})
      .IntArray("none", {})
      .Int("n", -3)
      .Base64("data", "abc");
  EXPECT_EQ(call.Body(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall><methodName>Bug.add_attachment"
            "</methodName><params><param><value><struct>"
            "<member><name>Bugzilla_login</name><value><string>ann</string></value></member>"
            "<member><name>exclude_fields</name><value><array><data><value><string>data</string>"
            "</value></data></array></value></member>"
            "<member><name>ids</name><value><array><data><value><int>42</int></value><value><int>7"
            "</int></value></data></array></value></member>"
            "<member><name>n</name><value><int>-3</int></value></member>"
            "<member><name>data</name><value><base64>YWJj</base64></value></member>"
            "</struct></value></param></params></methodCall>");
}

TEST(XmlRpcResponse, ValuesOfEveryType) {
  const XmlRpcResponse r = ParseXmlRpcResponse(
      "<?xml version='1.0'?><methodResponse><params><param><value><struct>"
      "<member><name>version</name><value><string>5.0.4 &lt;x&gt;</string></value></member>"
      "<member><name>plain</name><value>no type</value></member>"
      "<member><name>id</name><value><int>42</int></value></member>"
      "<member><name>big</name><value><i8>-9000000000</i8></value></member>"
      "<member><name>ok</name><value><boolean>1</boolean></value></member>"
      "<member><name>ids</name><value><array><data><value><i4>1</i4></value>"
      "<value><i4>2</i4></value></data></array></value></member>"
      "<member><name>nested</name><value><struct><member><name>x</name><value><nil/></value>"
      "</member></struct></value></member>"
      "</struct></value></param></params></methodResponse>");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(r.value.kind, XmlRpcValue::Kind::Struct);
  EXPECT_EQ(r.value.Member("version")->text, "5.0.4 <x>");
  EXPECT_EQ(r.value.Member("plain")->text, "no type");
  EXPECT_EQ(r.value.Member("id")->number, 42);
  EXPECT_EQ(r.value.Member("big")->number, -9000000000LL);
  EXPECT_EQ(r.value.Member("ok")->number, 1);
  ASSERT_EQ(r.value.Member("ids")->items.size(), 2u);
  EXPECT_EQ(r.value.Member("ids")->items[1].number, 2);
  EXPECT_EQ(r.value.Member("nested")->Member("x")->kind, XmlRpcValue::Kind::Nil);
  EXPECT_EQ(r.value.Member("missing"), nullptr);
}

TEST(XmlRpcResponse, FaultsAndMalformedAnswersFail) {
  const XmlRpcResponse fault = ParseXmlRpcResponse(
      "<methodResponse><fault><value><struct><member><name>faultCode</name><value><int>410</int>"
      "</value></member><member><name>faultString</name><value><string>You must log in &lt;"
      "here&gt;.</string></value></member></struct></value></fault></methodResponse>");
  EXPECT_FALSE(fault.ok);
  EXPECT_EQ(fault.error, "You must log in <here>.");

  const char* bad[] = {
      "",
      "<html>502 Bad Gateway</html>",
      "<methodResponse></methodResponse>",
      "<methodResponse><params><param></param></params></methodResponse>",
      "<methodResponse><fault><value><struct/></value></fault></methodResponse>",
      "<methodResponse><params><param><value><int>4x</int></value></param></params>"
      "</methodResponse>",
      "<methodResponse><params><param><value><int>99999999999999999999</int></value></param>"
      "</params></methodResponse>",
      "<methodResponse><params><param><value><boolean>2</boolean></value></param></params>"
      "</methodResponse>",
      "<methodResponse><params><param><value><array/></value></param></params></methodResponse>",
      "<methodResponse><params><param><value><struct><member><name>a</name></member></struct>"
      "</value></param></params></methodResponse>",
      "<methodResponse><params><param><value><string/><int>1</int></value></param></params>"
      "</methodResponse>",
      "<methodResponse><params><param><value><float>1</float></value></param></params>"
      "</methodResponse>",
  };
  for (const char* text : bad) {
    const XmlRpcResponse r = ParseXmlRpcResponse(text);
    EXPECT_FALSE(r.ok) << text;
    EXPECT_FALSE(r.error.empty()) << text;
  }
}

}  // namespace
}  // namespace ostrel::upload
