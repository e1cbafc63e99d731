#include "crash/ui/upload/mantis_submission.h"

#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/mantis_answers.h"
#include "crash/ui/upload/upload_memory.h"
#include "crash/ui/upload/xml_escape.h"
#include "tests/unit/upload/sample_entry.h"
#include "tests/unit/upload/scripted_exchange.h"
#include "tests/unit/upload/tracker_test.h"

namespace ostrel::upload {
namespace {

using test::SampleEntry;

std::string Returned(const std::string& content) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"e\">"
         "<SOAP-ENV:Body><ns1:r xmlns:ns1=\"n\"><return>" +
         content + "</return></ns1:r></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string Objects(const std::vector<std::pair<int, std::string>>& items) {
  std::string text;
  for (const auto& [id, name] : items)
    text += "<item><id>" + std::to_string(id) + "</id><name>" + name + "</name></item>";
  return Returned(text);
}

const std::string kProjects = Returned(
    "<item><id>1</id><name>Pelmora</name><subprojects><item><id>3</id><name>Plugins</name>"
    "<subprojects/></item></subprojects></item><item><id>2</id><name>Other</name></item>");

void ScriptServer(test::ScriptedExchange& x) {
  x.Answer(200, Returned("1.2.19"));
  x.Answer(200, kProjects);
  x.Answer(200, Objects({{10, "viewer"}, {55, "developer"}, {90, "administrator"}}));
  // Pelmora, Pelmora/Plugins, Other: categories, versions, users.
  x.Answer(200, Returned("<item>General</item><item>Crashes</item>"));
  x.Answer(200, Returned("<item><id>4</id><name>1.0</name></item><item><id>5</id><name>1.1</name>"
                         "</item>"));
  x.Answer(200, Objects({{7, "Ann Lee"}, {8, "Bo"}}));
  x.Answer(200, Returned("<item>Loader</item>"));
  x.Answer(200, Returned(""));
  x.Answer(200, Objects({}));
  x.Answer(200, Returned("<item>Misc</item>"));
  x.Answer(200, Returned("<item><name>1.1</name></item>"));
  x.Answer(200, Objects({{9, "Cy"}}));
  x.Answer(200, Objects({{10, "low"}, {30, "normal"}}));
  x.Answer(200, Objects({{50, "minor"}, {70, "crash"}}));
}

class MantisTest : public test::TrackerTest {
 protected:
  MantisTest() : TrackerTest(u"/mantis", {u"ann", u"pw"}) {}
  SubmissionResult SubmitTo(HttpClient& http, const TrackerAccount& as) override {
    return SubmitToMantis(http, as, SampleEntry(), progress);
  }
};

TEST_F(MantisTest, TheWholeConversationInItsOrder) {
  ScriptServer(exchange);
  exchange.Answer(200, Returned("123"));
  exchange.Answer(200, Returned("1"));
  exchange.Answer(200, Returned("2"));
  const SubmissionResult r = Submit();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.id, u"123");
  EXPECT_EQ(LastMantisIssue(), u"123");
  const char* methods[] = {"mc_version",
                           "mc_projects_get_user_accessible",
                           "mc_enum_access_levels",
                           "mc_project_get_categories",
                           "mc_project_get_versions",
                           "mc_project_get_users",
                           "mc_project_get_categories",
                           "mc_project_get_versions",
                           "mc_project_get_users",
                           "mc_project_get_categories",
                           "mc_project_get_versions",
                           "mc_project_get_users",
                           "mc_enum_priorities",
                           "mc_enum_severities",
                           "mc_issue_add",
                           "mc_issue_attachment_add",
                           "mc_issue_attachment_add"};
  ASSERT_EQ(exchange.requests.size(), std::size(methods));
  for (std::size_t i = 0; i < std::size(methods); ++i) {
    const HttpRequest& q = exchange.requests[i];
    EXPECT_EQ(q.target, "/mantis/api/soap/mantisconnect.php/" + std::string(methods[i]));
    EXPECT_EQ(*test::RequestHeader(q, "Content-Type"), "text/xml");
    EXPECT_NE(q.body.find("<ns1:" + std::string(methods[i]) + " xmlns:ns1="), std::string::npos);
    EXPECT_EQ(q.body.find("<username xsi:type=\"xsd:string\">ann</username>") != std::string::npos,
              i > 0)
        << i;
  }
  // Each project by its id; the users of the developer level.
  EXPECT_NE(exchange.requests[6].body.find("<project_id xsi:type=\"xsd:integer\">3</project_id>"),
            std::string::npos);
  EXPECT_NE(exchange.requests[5].body.find("<project_id xsi:type=\"xsd:integer\">1</project_id>"
                                           "<access xsi:type=\"xsd:integer\">55</access>"),
            std::string::npos);
  EXPECT_NE(exchange.requests[15].body.find(
                "<issue_id xsi:type=\"xsd:long\">123</issue_id><name xsi:type=\"xsd:string\">"
                "bugreport.txt</name><file_type xsi:type=\"xsd:string\">text/plain</file_type>"
                "<content xsi:type=\"xsd:base64Binary\">" +
                delivery::EncodeBase64(SampleEntry().files[0].bytes) + "</content>"),
            std::string::npos);
  EXPECT_NE(exchange.requests[16].body.find("image/png"), std::string::npos);
  // From 50 to 950 over the lists, then an area each for the issue and the
  // two files sent.
  ASSERT_EQ(progress.positions.size(), 16u);
  EXPECT_EQ(progress.positions.front(), 50 + 900 * 2 / 14);  // 14 requests before the issue
  EXPECT_EQ(progress.positions[12], 950);
  EXPECT_EQ(std::vector<int>(progress.positions.begin() + 13, progress.positions.end()),
            (std::vector<int>{-1, -1, -1}));
  for (std::size_t i = 1; i <= 12; ++i) EXPECT_GT(progress.positions[i], progress.positions[i - 1]);
}

TEST_F(MantisTest, TheIssueFromTheLists) {
  ScriptServer(exchange);
  exchange.Answer(200, Returned("124"));
  exchange.Answer(200, Returned("1"));
  exchange.Answer(200, Returned("2"));
  ASSERT_TRUE(Submit().ok);
  const std::string& add = exchange.requests[14].body;
  const std::string description = XmlEscaped(SampleEntry().description);
  EXPECT_NE(add.find("<issue href=\"#1\"/></ns1:mc_issue_add><ns2:IssueData id=\"1\" "
                     "xsi:type=\"ns2:IssueData\"><project href=\"#2\"/><version "
                     "xsi:type=\"xsd:string\">1.1</version><handler href=\"#3\"/><priority "
                     "href=\"#4\"/><severity href=\"#5\"/><summary xsi:type=\"xsd:string\">" +
                     XmlEscaped(SampleEntry().title) +
                     "</summary><category xsi:type=\"xsd:string\">Crashes</category><os "
                     "xsi:type=\"xsd:string\">Windows 10 x64</os><description "
                     "xsi:type=\"xsd:string\">" +
                     description + "</description></ns2:IssueData>"),
            std::string::npos)
      << add;
  EXPECT_NE(add.find("<ns2:project id=\"2\" xsi:type=\"ns2:ObjectRef\"><id xsi:type=\"xsd:long\">1"
                     "</id></ns2:project><ns2:handler id=\"3\" xsi:type=\"ns2:AccountData\"><id "
                     "xsi:type=\"xsd:long\">7</id></ns2:handler><ns2:priority id=\"4\" "
                     "xsi:type=\"ns2:ObjectRef\"><id xsi:type=\"xsd:long\">30</id></ns2:priority>"
                     "<ns2:severity id=\"5\" xsi:type=\"ns2:ObjectRef\"><id xsi:type=\"xsd:long\">"
                     "70</id></ns2:severity></SOAP-ENV:Body>"),
            std::string::npos)
      << add;
  // The report's quotes and angle brackets are escaped, not dropped.
  EXPECT_NE(description.find("&lt;admin&gt;"), std::string::npos);
  EXPECT_NE(description.find("\"quoted\""), std::string::npos);
}

TEST_F(MantisTest, ValuesNotListedAreLeftOut) {
  MantisLists lists;
  lists.projects.hasIds = true;
  lists.projects.Add(u"Other", u"2");
  lists.users.hasIds = true;
  lists.users.Add(u"Ann Lee", u"7", u"Pelmora");
  TrackerEntry entry = SampleEntry();
  const std::string body = MantisIssueCall(entry, lists, account).Body();
  EXPECT_NE(body.find("<id xsi:type=\"xsd:long\">2</id>"), std::string::npos);  // the first project
  for (const char* absent : {"<version", "href=\"#3\"", "href=\"#4\"", "href=\"#5\"", "ns2:handler",
                             "ns2:priority", "ns2:severity"})
    EXPECT_EQ(body.find(absent), std::string::npos) << absent;
  // The area stays as it is when the project has no categories.
  EXPECT_NE(body.find("<category xsi:type=\"xsd:string\">crashes</category>"), std::string::npos);
  EXPECT_THROW(MantisIssueCall(entry, MantisLists{}, account), std::invalid_argument);
}

TEST_F(MantisTest, FaultsEndTheConversationWithTheirText) {
  exchange.Answer(200, Returned("1.2.19"));
  exchange.Answer(500,
                  "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"e\"><SOAP-ENV:Body><SOAP-ENV:Fault>"
                  "<faultcode>Client</faultcode><faultstring>Access denied</faultstring>"
                  "</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>");
  SubmissionResult r = Submit();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "mc_projects_get_user_accessible: Access denied");
  EXPECT_EQ(exchange.requests.size(), 2u);

  test::ScriptedExchange x;
  x.Answer(200, Returned(""));
  r = Submit(x, account);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(x.requests.size(), 1u);

  test::ScriptedExchange y;
  ScriptServer(y);
  y.Answer(200, Returned("not a number"));
  r = Submit(y, account);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(y.requests.size(), 15u);
}

TEST(MantisAnswers, SubProjectsNamedAfterTheirParents) {
  const XmlDocument d = ReadXml(
      "<return><item><id>1</id><name>A</name><subprojects><item><id>2</id><name>B</name>"
      "<subprojects><item><id>3</id><name>C</name></item></subprojects></item></subprojects>"
      "</item><item><name>no id</name></item><item><id>4</id><name>D</name></item></return>");
  ASSERT_TRUE(d.ok);
  TrackerList projects;
  ReadMantisProjects(d.root, projects);
  ASSERT_EQ(projects.entries.size(), 4u);
  EXPECT_EQ(projects.entries[0].name, u"A");
  EXPECT_EQ(projects.entries[1].name, u"A/B");
  EXPECT_EQ(projects.entries[2].name, u"A/B/C");
  EXPECT_EQ(projects.entries[2].id, u"3");
  EXPECT_EQ(projects.entries[3].name, u"D");
}

TEST(MantisAnswers, OperatingSystemCutBeforeBuildAndTo31) {
  EXPECT_EQ(MantisOperatingSystem(u"Windows 10 x64 build 19045"), u"Windows 10 x64");
  EXPECT_EQ(MantisOperatingSystem(u"build 7"), u"");
  EXPECT_EQ(MantisOperatingSystem(std::u16string(40, u'w')), std::u16string(31, u'w'));
  // Never half of a character beyond the basic plane.
  const std::u16string astral = std::u16string(30, u'w') + u"\U0001F600x";
  EXPECT_EQ(MantisOperatingSystem(astral), std::u16string(30, u'w'));
}

}  // namespace
}  // namespace ostrel::upload
