#include "crash/ui/upload/bugzilla_submission.h"

#include <gtest/gtest.h>

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"
#include "crash/ui/upload/upload_memory.h"
#include "crash/ui/upload/xml_escape.h"
#include "tests/unit/upload/sample_entry.h"
#include "tests/unit/upload/scripted_exchange.h"
#include "tests/unit/upload/tracker_test.h"

namespace ostrel::upload {
namespace {

using test::SampleEntry;

std::string Answer(const std::string& members) {
  return "<?xml version=\"1.0\"?><methodResponse><params><param><value><struct>" + members +
         "</struct></value></param></params></methodResponse>";
}

std::string Fault(const std::string& text) {
  return "<methodResponse><fault><value><struct><member><name>faultString</name><value><string>" +
         text + "</string></value></member></struct></value></fault></methodResponse>";
}

std::string Names(const std::vector<std::string>& names) {
  std::string items;
  for (const std::string& n : names)
    items += "<value><struct><member><name>name</name><value><string>" + n +
             "</string></value></member></struct></value>";
  return "<array><data>" + items + "</data></array>";
}

std::string Member(const std::string& name, const std::string& value) {
  return "<member><name>" + name + "</name><value>" + value + "</value></member>";
}

void ScriptServer(test::ScriptedExchange& x) {
  x.Answer(200, Answer(Member("version", "<string>5.0.4</string>")));
  x.Answer(200, Answer(Member("version", "<string>5.0.4</string>")));
  x.Answer(200, Answer(Member("ids",
                              "<array><data><value><int>1</int></value><value><int>2</int>"
                              "</value></data></array>")));
  x.Answer(
      200,
      Answer(Member(
          "products",
          "<array><data><value><struct>" + Member("name", "<string>Other</string>") +
              Member("components", Names({"General"})) + Member("versions", Names({"9.0"})) +
              "</struct></value><value><struct>" + Member("name", "<string>Pelmora</string>") +
              Member("components", Names({"UI", "Crashes"})) +
              Member("versions", Names({"1.0", "1.1"})) + "</struct></value></data></array>")));
  x.Answer(200, Answer(Member("fields",
                              "<array><data><value><struct>" + Member("name", "priority") +
                                  Member("values", Names({"P1", "P2", "P3"})) +
                                  "</struct></value><value><struct>" + Member("name", "severity") +
                                  Member("values", Names({"blocker", "normal"})) +
                                  "</struct></value><value><struct>" + Member("name", "op_sys") +
                                  Member("values", Names({"Linux", "Other"})) +
                                  "</struct></value><value><struct>" + Member("name", "platform") +
                                  Member("values", Names({"Macintosh", "PC"})) +
                                  "</struct></value></data></array>")));
}

class BugzillaTest : public test::TrackerTest {
 protected:
  BugzillaTest() : TrackerTest(u"/bz", {u"ann@example.com", u"s<e>cret"}) {}
  SubmissionResult SubmitTo(HttpClient& http, const TrackerAccount& as) override {
    return SubmitToBugzilla(http, as, SampleEntry(), progress);
  }
};

TEST_F(BugzillaTest, TheWholeConversationInItsOrder) {
  ScriptServer(exchange);
  exchange.Answer(200, Answer(Member("id", "<int>77</int>")));
  exchange.Answer(200, Answer(Member("ids",
                                     "<array><data><value><int>5</int></value></data>"
                                     "</array>")));
  exchange.Answer(200, Answer(Member("ids",
                                     "<array><data><value><int>6</int></value></data>"
                                     "</array>")));
  const SubmissionResult r = Submit();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.id, u"77");
  ASSERT_EQ(exchange.requests.size(), 8u);
  const char* methods[] = {
      "Bugzilla.version",   "Bugzilla.version",  "Product.get_enterable_products",
      "Product.get",        "Bug.fields",        "Bug.create",
      "Bug.add_attachment", "Bug.add_attachment"};
  for (std::size_t i = 0; i < 8; ++i) {
    const HttpRequest& q = exchange.requests[i];
    EXPECT_EQ(q.method, "POST");
    EXPECT_EQ(q.target, "/bz/xmlrpc.cgi");
    EXPECT_EQ(*test::RequestHeader(q, "Content-Type"), "text/xml");
    EXPECT_NE(q.body.find("<methodName>" + std::string(methods[i]) + "</methodName>"),
              std::string::npos)
        << i;
    // Only the first request goes without credentials.
    const std::string login =
        "<struct><member><name>Bugzilla_login</name><value><string>ann@example.com</string>"
        "</value></member><member><name>Bugzilla_password</name><value><string>s&lt;e&gt;cret"
        "</string></value></member>";
    EXPECT_EQ(q.body.find(login) != std::string::npos, i > 0) << i;
  }
  EXPECT_NE(exchange.requests[3].body.find("<name>ids</name><value><array><data><value><int>1"
                                           "</int></value><value><int>2</int></value></data>"),
            std::string::npos);
  // The empty file is not attached; the others in order, each with its type.
  EXPECT_NE(exchange.requests[6].body.find("<string>bugreport.txt</string></value></member>"
                                           "<member><name>summary</name><value><string>"
                                           "bugreport.txt</string></value></member><member><name>"
                                           "content_type</name><value><string>text/plain</string>"),
            std::string::npos);
  EXPECT_NE(exchange.requests[6].body.find("<member><name>ids</name><value><array><data><value>"
                                           "<int>77</int></value></data></array>"),
            std::string::npos);
  EXPECT_TRUE(exchange.requests[7].body.ends_with(
      "<member><name>data</name><value><base64>" +
      delivery::EncodeBase64(SampleEntry().files[2].bytes) +
      "</base64></value></member></struct></value></param></params></methodCall>"));
  EXPECT_EQ(progress.positions, (std::vector<int>{167, 333, 500, 667, 833, -1, -1, -1}));
}

TEST_F(BugzillaTest, TheNewBugsValuesFromTheLists) {
  ScriptServer(exchange);
  exchange.Answer(200, Answer(Member("id", "<int>78</int>")));
  exchange.Answer(200, Answer(""));
  exchange.Answer(200, Answer(""));
  ASSERT_TRUE(Submit().ok);
  const std::string& create = exchange.requests[5].body;
  auto member = [&create](const std::string& name, const std::u16string& value) {
    return create.find("<member><name>" + name + "</name><value><string>" + XmlEscaped(value) +
                       "</string></value></member>") != std::string::npos;
  };
  EXPECT_TRUE(member("product", u"Pelmora"));
  EXPECT_TRUE(member("component", u"Crashes"));
  EXPECT_TRUE(member("summary", SampleEntry().title));
  EXPECT_TRUE(member("version", u"1.1"));
  EXPECT_TRUE(member("description", SampleEntry().description));
  EXPECT_TRUE(member("op_sys", u"Other"));  // no match for the report's: "other"
  EXPECT_TRUE(member("alias", u"$1A2B3C4D$5E6F7081$92A3B4C5"));
  EXPECT_TRUE(member("priority", u"P2"));
  EXPECT_TRUE(member("severity", u"normal"));
  EXPECT_TRUE(member("platform", u"PC"));
  EXPECT_TRUE(member("assigned_to", u"Ann Lee"));
  EXPECT_EQ(create.find("<admin>"), std::string::npos);
}

TEST_F(BugzillaTest, AFaultStopsTheConversationWithItsText) {
  exchange.Answer(200, Answer(Member("version", "<string>5.0</string>")));
  exchange.Answer(200, Fault("The username or password you entered is not valid &lt;x&gt;."));
  const SubmissionResult r = Submit();
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("not valid <x>."), std::string::npos) << r.error;
  EXPECT_EQ(LastHttpError(), r.error);
  EXPECT_EQ(exchange.requests.size(), 2u);
}

TEST_F(BugzillaTest, EachStepThatFailsSendsNothingMore) {
  // Steps: not a Bugzilla, no ids, no bug id, a failed attachment.
  struct Case {
    int answered;  // of the server script before the bad answer
    std::string bad;
    std::size_t requests;
  };
  const Case cases[] = {
      {0, Answer(Member("other", "<string>x</string>")), 1},
      {0, "<html>not xml", 1},
      {2, Answer(""), 3},
      {5, Answer(Member("id", "<string>77</string>")), 6},
  };
  for (const Case& c : cases) {
    test::ScriptedExchange x;
    test::ScriptedExchange full;
    ScriptServer(full);
    for (int i = 0; i < c.answered; ++i) {
      HttpResponse r;
      std::string e;
      full.Send(HttpRequest{}, {}, r, e);
      x.Answer(r.status, r.body);
    }
    x.Answer(200, c.bad);
    const SubmissionResult r = Submit(x, account);
    EXPECT_FALSE(r.ok) << c.bad;
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(x.requests.size(), c.requests) << c.bad;
  }
  // An attachment that fails fails the submission, though the bug exists.
  ScriptServer(exchange);
  exchange.Answer(200, Answer(Member("id", "<int>79</int>")));
  exchange.Answer(500, "");
  const SubmissionResult r = Submit();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.id, u"79");
  EXPECT_EQ(exchange.requests.size(), 7u);
}

TEST_F(BugzillaTest, WithoutPasswordNoLogOnTestAndNoCredentials) {
  ScriptServer(exchange);
  HttpResponse skipped;
  std::string e;
  exchange.Send(HttpRequest{}, {}, skipped, e);  // the log-on test's answer is not needed
  exchange.requests.clear();
  exchange.Answer(200, Answer(Member("id", "<int>80</int>")));
  exchange.Answer(200, Answer(""));
  exchange.Answer(200, Answer(""));
  const SubmissionResult r = Submit(exchange, TrackerAccount{u"ann", u""});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(exchange.requests.size(), 7u);
  for (const HttpRequest& q : exchange.requests)
    EXPECT_EQ(q.body.find("Bugzilla_login"), std::string::npos);
}

}  // namespace
}  // namespace ostrel::upload
