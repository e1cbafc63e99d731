#include "crash/ui/upload/soap_call.h"

#include <gtest/gtest.h>

namespace ostrel::upload {
namespace {

TEST(SoapCall, EnvelopeMethodParametersAndReferences) {
  SoapCall call("mc_project_get_users");
  call.Credentials(u"ann", u"p&w").Integer("project_id", u"3").Reference("issue", 1);
  call.MultiReference("ns2:project", 2, "ns2:ObjectRef", SoapElement("id", "xsd:long", u"3"));
  const std::string body = call.Body();
  EXPECT_TRUE(
      body.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
                       "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""));
  EXPECT_NE(body.find("<SOAP-ENV:Body><ns1:mc_project_get_users xmlns:ns1=\"" +
                      std::string(kMantisNamespace) +
                      "\"><username xsi:type=\"xsd:string\">ann</username>"
                      "<password xsi:type=\"xsd:string\">p&amp;w</password>"
                      "<project_id xsi:type=\"xsd:integer\">3</project_id><issue href=\"#1\"/>"
                      "</ns1:mc_project_get_users><ns2:project id=\"2\" xsi:type=\"ns2:ObjectRef\">"
                      "<id xsi:type=\"xsd:long\">3</id></ns2:project>"
                      "</SOAP-ENV:Body></SOAP-ENV:Envelope>"),
            std::string::npos)
      << body;
  // Our own reader takes it as XML.
  EXPECT_EQ(ParseSoapResponse(body).error, "the answer has neither return nor fault");
}

TEST(SoapResponse, ReturnOrFault) {
  const SoapResponse ok = ParseSoapResponse(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"e\">"
      "<SOAP-ENV:Body><ns1:mc_versionResponse xmlns:ns1=\"n\"><return xsi:type=\"xsd:string\">"
      "1.2.19</return></ns1:mc_versionResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(ok.returnValue.text, "1.2.19");

  const SoapResponse fault = ParseSoapResponse(
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"e\"><SOAP-ENV:Body><SOAP-ENV:Fault>"
      "<faultcode>SOAP-ENV:Client</faultcode><faultstring>Access denied for &lt;ann&gt;"
      "</faultstring></SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>");
  EXPECT_FALSE(fault.ok);
  EXPECT_EQ(fault.error, "Access denied for <ann>");

  for (const char* bad : {"", "<Envelope/>", "<a><return></a>", "not xml"}) {
    const SoapResponse r = ParseSoapResponse(bad);
    EXPECT_FALSE(r.ok) << bad;
    EXPECT_FALSE(r.error.empty()) << bad;
  }
}

}  // namespace
}  // namespace ostrel::upload
