#include "crash/ui/upload/fogbugz_submission.h"

#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/fogbugz_answers.h"
#include "tests/unit/upload/sample_entry.h"
#include "tests/unit/upload/scripted_exchange.h"
#include "tests/unit/upload/tracker_test.h"

namespace ostrel::upload {
namespace {

using test::SampleEntry;

const Latin1CodePage kLatin1;

std::string Response(const std::string& content) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><response>" + content + "</response>";
}

void ScriptServer(test::ScriptedExchange& x) {
  x.Answer(200, Response("<version>8</version><minversion>1</minversion><url>api.asp?</url>"));
  x.Answer(200, Response("<token><![CDATA[tok 42]]></token>"));
  x.Answer(200, Response("<projects><project><ixProject>1</ixProject><sProject><![CDATA[Inbox]]>"
                         "</sProject></project><project><sProject>Pelmora</sProject></project>"
                         "</projects>"));
  x.Answer(200,
           Response("<areas><area><sArea>Misc</sArea><sProject>Inbox</sProject></area>"
                    "<area><sArea>Not Spam</sArea><sProject>Pelmora</sProject></area>"
                    "<area><sArea>Crashes</sArea><sProject>Pelmora</sProject></area></areas>"));
  x.Answer(200, Response("<categories><category><sCategory>Feature</sCategory></category>"
                         "<category><sCategory>Bug</sCategory></category></categories>"));
  x.Answer(200, Response("<priorities><priority><sPriority>Must Fix</sPriority></priority>"
                         "</priorities>"));
  x.Answer(200, Response("<people><person><sFullName>Ann Lee</sFullName></person></people>"));
}

std::string FieldValue(const std::string& body, const std::string& name) {
  const std::string head = "name=\"" + name + "\"\r\n";
  const std::size_t at = body.find(head);
  if (at == std::string::npos) return "(missing)";
  const std::size_t start = body.find("\r\n\r\n", at) + 4;
  return body.substr(start, body.find("\r\n--", start) - start);
}

class FogBugzTest : public test::TrackerTest {
 protected:
  FogBugzTest() : TrackerTest(u"/fb", {u"ann@example.com", u"p w&"}) {}
  SubmissionResult SubmitTo(HttpClient& http, const TrackerAccount& as) override {
    return SubmitToFogBugz(http, as, SampleEntry(), progress, kLatin1);
  }
};

TEST_F(FogBugzTest, TheWholeConversationInItsOrder) {
  ScriptServer(exchange);
  exchange.Answer(200, Response("<case ixBug=\"314\" operations=\"edit\"></case>"));
  exchange.Answer(200, Response(""));
  const SubmissionResult r = Submit();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.id, u"314");
  const std::vector<std::string> targets = {
      "/fb/api.xml",
      "/fb/api.asp?cmd=logon&email=ann%40example%2Ecom&password=p%20w%26",
      "/fb/api.asp?cmd=listProjects&token=tok%2042&fWrite=1",
      "/fb/api.asp?cmd=listAreas&token=tok%2042&fWrite=1",
      "/fb/api.asp?cmd=listCategories&token=tok%2042",
      "/fb/api.asp?cmd=listPriorities&token=tok%2042",
      "/fb/api.asp?cmd=listPeople&token=tok%2042",
      "/fb/api.asp",
      "/fb/api.asp?cmd=logoff&token=tok%2042"};
  ASSERT_EQ(exchange.requests.size(), targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    EXPECT_EQ(exchange.requests[i].target, targets[i]);
    EXPECT_EQ(exchange.requests[i].method, i == 7 ? "POST" : "GET");
  }
  EXPECT_EQ(progress.positions,
            (std::vector<int>{111, 222, 333, 444, 555, 666, 777, 888, -1, -1, -1, -1}));
}

TEST_F(FogBugzTest, TheCaseFormInItsOrder) {
  ScriptServer(exchange);
  exchange.Answer(200, Response("<case ixBug=\"315\"/>"));
  exchange.Answer(200, Response(""));
  ASSERT_TRUE(Submit().ok);
  const HttpRequest& form = exchange.requests[7];
  const std::string& body = form.body;
  ASSERT_NE(test::RequestHeader(form, "Content-Type"), nullptr);
  EXPECT_TRUE(
      test::RequestHeader(form, "Content-Type")->starts_with("multipart/form-data; boundary="));
  EXPECT_EQ(test::RequestHeader(form, "From"), nullptr);
  const char* order[] = {"cmd",
                         "token",
                         "sTitle",
                         "sEvent",
                         "sProject",
                         "sArea",
                         "sCategory",
                         "sPersonAssignedTo",
                         "sVersion",
                         "sComputer",
                         "sCustomerEmail",
                         "ixMailbox",
                         "sScoutDescription",
                         "nFileCount",
                         "File1",
                         "File2",
                         "File3"};
  std::size_t last = 0;
  for (const char* name : order) {
    const std::size_t at = body.find("name=\"" + std::string(name) + "\"");
    ASSERT_NE(at, std::string::npos) << name;
    EXPECT_GT(at, last) << name;
    last = at;
  }
  EXPECT_EQ(FieldValue(body, "cmd"), "new");
  EXPECT_EQ(FieldValue(body, "token"), "tok 42");
  EXPECT_EQ(FieldValue(body, "sTitle"), "Pelmora, Access violation at <0x0040A1B2> & more");
  // Beyond the code page: Base64, with its transfer-encoding line.
  EXPECT_EQ(FieldValue(body, "sEvent"),
            delivery::EncodeBase64(Utf16ToUtf8(SampleEntry().description)));
  EXPECT_NE(body.find("name=\"sEvent\"\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n"
                      "Content-Transfer-Encoding: base64\r\n"),
            std::string::npos);
  EXPECT_EQ(FieldValue(body, "sProject"), "Pelmora");
  EXPECT_EQ(FieldValue(body, "sArea"), "Crashes");
  EXPECT_EQ(FieldValue(body, "sCategory"), "Bug");
  EXPECT_EQ(FieldValue(body, "sPersonAssignedTo"), "Ann Lee");
  EXPECT_EQ(FieldValue(body, "sVersion"), "1.1");
  EXPECT_EQ(FieldValue(body, "sComputer"), "DESK-7");
  EXPECT_EQ(FieldValue(body, "sCustomerEmail"), "Ostrel <support@example.com>");
  EXPECT_EQ(FieldValue(body, "ixMailbox"), "Ostrel <support@example.com>");
  EXPECT_EQ(FieldValue(body, "sScoutDescription"), "$1A2B3C4D, $5E6F7081, $92A3B4C5");
  EXPECT_EQ(FieldValue(body, "nFileCount"), "3");
  EXPECT_NE(body.find("name=\"File3\"; filename=\"screenshot.png\"\r\nContent-Type: "
                      "application/octet-stream\r\n\r\n" +
                      SampleEntry().files[2].bytes + "\r\n--"),
            std::string::npos);
}

TEST_F(FogBugzTest, ListedValuesElseEmpty) {
  FogBugzLists lists;
  lists.projects.Add(u"Pelmora");
  lists.areas.Add(u"Not Spam", {}, u"Pelmora");
  lists.areas.Add(u"Other", {}, u"Pelmora");
  TrackerEntry entry = SampleEntry();
  std::vector<FormField> fields = FogBugzCaseFields(entry, lists, u"t");
  EXPECT_EQ(fields[4].value, u"Pelmora");
  EXPECT_EQ(fields[5].value, u"Not Spam");  // the area is not listed: "not spam"
  EXPECT_EQ(fields[6].value, u"bug");       // no categories at all: as it is
  EXPECT_EQ(fields[7].value, u"");          // nobody of that name
  // A project that is not listed leaves project and area empty.
  entry.project = u"Unknown";
  fields = FogBugzCaseFields(entry, lists, u"t");
  EXPECT_EQ(fields[4].value, u"");
  EXPECT_EQ(fields[5].value, u"");
}

TEST_F(FogBugzTest, LoggedOffWhateverBecameOfTheCase) {
  ScriptServer(exchange);
  exchange.Answer(200, Response("<error code=\"7\">Field &lt;sTitle&gt; is required</error>"));
  exchange.Answer(200, Response(""));
  const SubmissionResult r = Submit();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "new: Field <sTitle> is required");
  ASSERT_EQ(exchange.requests.size(), 9u);
  EXPECT_EQ(exchange.requests[8].target, "/fb/api.asp?cmd=logoff&token=tok%2042");

  // An answer that only mentions a case in its text is no case.
  test::ScriptedExchange x;
  ScriptServer(x);
  x.Answer(200, Response("<error>&lt;case ixBug=\"1\"&gt;</error>"));
  x.Answer(200, Response(""));
  EXPECT_FALSE(Submit(x, account).ok);
}

TEST_F(FogBugzTest, NoLogOnNoFurtherRequests) {
  struct Case {
    std::string api, logon;
    std::size_t requests;
  };
  const Case cases[] = {
      {Response("<minversion>9</minversion><url>api.asp?</url>"), "", 1},
      {Response("<minversion>x</minversion><url>api.asp?</url>"), "", 1},
      {Response("<minversion>1</minversion>"), "", 1},
      {"<html>It works</html>", "", 1},
      {Response("<minversion>1</minversion><url>api.asp?</url>"),
       Response("<error code=\"1\">Incorrect password or username</error>"), 2},
      {Response("<minversion>1</minversion><url>api.asp?</url>"), Response(""), 2},
  };
  for (const Case& c : cases) {
    test::ScriptedExchange x;
    x.Answer(200, c.api);
    if (!c.logon.empty()) x.Answer(200, c.logon);
    const SubmissionResult r = Submit(x, account);
    EXPECT_FALSE(r.ok) << c.api;
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(x.requests.size(), c.requests) << c.api;
  }
}

TEST(FogBugzAnswers, ApiAndCommands) {
  FogBugzServer server;
  std::string error;
  ASSERT_TRUE(
      ReadFogBugzApi("<response><version>7</version><minversion>8.5</minversion>"
                     "<url>fogbugz/api.asp?</url></response>",
                     server, error))
      << error;
  EXPECT_EQ(server.version, "7");
  EXPECT_EQ(server.scriptPath, "/fogbugz/api.asp");
  EXPECT_FALSE(ReadFogBugzApi("<response><minversion>1</minversion><url>a b?</url></response>",
                              server, error));
  EXPECT_EQ(FogBugzCommand("/api.asp", "new", {{"s", u"\u00e9 x"}}),
            "/api.asp?cmd=new&s=%C3%A9%20x");
}

}  // namespace
}  // namespace ostrel::upload
