// Python's own XML readers as judges of the requests we write: a report's
// "<admin>", "&" and CR LF line ends must come back as the same text.
#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/ui/upload/soap_call.h"
#include "crash/ui/upload/xml_rpc.h"
#include "tests/support/skip_or_fail.h"
#include "tests/unit/upload/python_tools.h"

namespace ostrel::upload {
namespace {

// A report text as the trackers get it: angle brackets, ampersands,
// quotes and CR LF line ends.
const std::u16string kReport =
    u"error details:\r\nuser <admin> is <suspended> & queue at <priority:2>\r\n"
    u"\"quoted\" 'single' ]]> \u00e9\u20ac\r\n";

TEST(PythonReadsOurXml, XmlRpcCallValuesComeBackEqual) {
  XmlRpcCall call("Bug.create");
  call.String("description", kReport)
      .String("summary", u"<b>&amp;")
      .Base64("data", std::string("\0\xff", 2));
  const std::string body = call.Body();
  EXPECT_EQ(body.find("<admin>"), std::string::npos);
  const XmlRpcResponse none = ParseXmlRpcResponse(body);  // our reader takes it as XML too
  EXPECT_EQ(none.error, "the answer is no methodResponse");

  const test::PythonRun run = test::RunPython("xml_roundtrip.py", {"xmlrpc"}, body);
  if (run.code == test::kMissingModule) PELMORA_SKIP_OR_FAIL("python3 lacks xmlrpc.client");
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("description=" + test::Hex(Utf16ToUtf8(kReport)) + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("summary=" + test::Hex("<b>&amp;") + "\n"), std::string::npos);
  EXPECT_NE(run.out.find("data=00ff\n"), std::string::npos) << run.out;
}

TEST(PythonReadsOurXml, SoapValuesComeBackEqual) {
  const std::u16string description =
      u"<admin> & <suspended> at <priority:2>\r\n\"q\" 'a' \u20ac\r\n";
  SoapCall call("mc_issue_add");
  call.Credentials(u"<ann>", u"\"pw\"").Reference("issue", 1);
  call.MultiReference("ns2:IssueData", 1, "ns2:IssueData",
                      SoapElement("description", "xsd:string", description));
  call.Base64("content", "\x01\x02");
  const test::PythonRun run = test::RunPython("xml_roundtrip.py", {"soap"}, call.Body());
  if (run.code == test::kMissingModule) PELMORA_SKIP_OR_FAIL("python3 lacks xml.etree");
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("description=" + test::Hex(Utf16ToUtf8(description)) + "\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("username=" + test::Hex("<ann>") + "\n"), std::string::npos);
  EXPECT_NE(run.out.find("password=" + test::Hex("\"pw\"") + "\n"), std::string::npos);
  EXPECT_NE(run.out.find("content=" + test::Hex("AQI=") + "\n"), std::string::npos);
}

}  // namespace
}  // namespace ostrel::upload
