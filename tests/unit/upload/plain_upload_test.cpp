#include "crash/ui/upload/plain_upload.h"

#include <gtest/gtest.h>

#include "crash/ui/upload/upload_memory.h"
#include "tests/unit/upload/recorded_progress.h"
#include "tests/unit/upload/scripted_exchange.h"

namespace ostrel::upload {
namespace {

const Latin1CodePage kLatin1;

class PlainUploadTest : public ::testing::Test {
 protected:
  HttpClient Client() {
    return HttpClient(exchange, ParseServerAddress(u"http://h/up/", 80, false), {},
                      [this](const std::string& t) { opened.push_back(t); });
  }
  SubmissionResult Upload(const PlainUploadSwitches& switches = {}) {
    HttpClient http = Client();
    return UploadForm(http, u"Ostrel <support@example.com>",
                      {{u"MailFrom", u"Ostrel <support@example.com>"},
                       {u"MailAddr", u"a@x.y; Bo <b@x.y>"},
                       {u"MailBody", u"\u20ac <admin>"}},
                      {{u"BugReport", u"bugreport.txt", std::string(32, 'r')}}, switches, progress,
                      kLatin1);
  }
  test::ScriptedExchange exchange;
  test::RecordedProgress progress;
  std::vector<std::string> opened;
};

TEST_F(PlainUploadTest, FormPostedToThePathWithFromAndBareAddresses) {
  exchange.Answer(200, "stored &lt;1&gt;");
  const SubmissionResult r = Upload();
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_EQ(exchange.requests.size(), 1u);
  const HttpRequest& q = exchange.requests[0];
  EXPECT_EQ(q.method, "POST");
  EXPECT_EQ(q.target, "/up/");  // a plain upload keeps its trailing "/"
  EXPECT_EQ(*test::RequestHeader(q, "From"), "<support@example.com>");
  EXPECT_EQ(*test::RequestHeader(q, "Content-Type"),
            "multipart/form-data; boundary=" + std::string(kMultipartBoundary));
  EXPECT_NE(q.body.find("name=\"MailFrom\"\r\nContent-Type: text/plain; charset=\"iso-8859-1\""
                        "\r\n\r\nsupport@example.com\r\n"),
            std::string::npos);
  EXPECT_NE(q.body.find("\r\n\r\na@x.y,b@x.y\r\n"), std::string::npos);
  // Default switches: raw UTF-8 and no transfer-encoding line.
  EXPECT_NE(q.body.find("charset=\"utf-8\"\r\n\r\n\xe2\x82\xac <admin>\r\n"), std::string::npos);
  EXPECT_EQ(q.body.find("Content-Transfer-Encoding"), std::string::npos);
  EXPECT_EQ(LastUploadResponse(), "stored <1>");
  ASSERT_EQ(progress.areas.size(), 4u);
  EXPECT_EQ(progress.areas[0].weight, 500u);
  EXPECT_EQ(progress.areas[1].weight, 5000u);
  EXPECT_EQ(progress.areas[2].text, ProgressText::SendAttachment);
  EXPECT_EQ(progress.areas[2].weight, 2u);  // 32 bytes / 16
  EXPECT_EQ(progress.areas[3].weight, 1000u);
  EXPECT_EQ(progress.area, 4);
}

TEST_F(PlainUploadTest, SwitchesOff) {
  exchange.Answer(200, "");
  ASSERT_TRUE(Upload(PlainUploadSwitches{false, false, false}).ok);
  const std::string& body = exchange.requests[0].body;
  EXPECT_NE(body.find("\r\n\r\nOstrel <support@example.com>\r\n"), std::string::npos);
  EXPECT_NE(body.find("\r\n\r\na@x.y; Bo <b@x.y>\r\n"), std::string::npos);
  EXPECT_NE(body.find("Content-Transfer-Encoding: base64\r\n"), std::string::npos);
}

TEST_F(PlainUploadTest, RedirectSucceedsAndOpensItsTarget) {
  exchange.Answer({302, "", {{"Location", "/thanks?id=9"}}});
  EXPECT_TRUE(Upload().ok);
  EXPECT_EQ(opened, (std::vector<std::string>{"http://h/thanks?id=9"}));
}

TEST_F(PlainUploadTest, FailureKeepsTheAnswerAndTheError) {
  exchange.Answer(500, "Internal &amp; error");
  const SubmissionResult r = Upload();
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("500"), std::string::npos);
  EXPECT_EQ(LastHttpError(), r.error);
  EXPECT_EQ(LastUploadResponse(), "Internal & error");
  EXPECT_LT(progress.area, 4);
}

TEST_F(PlainUploadTest, NoSenderNoFromHeader) {
  exchange.Answer(200, "");
  HttpClient http = Client();
  ASSERT_TRUE(UploadForm(http, u"", {}, {}, {}, progress, kLatin1).ok);
  EXPECT_EQ(test::RequestHeader(exchange.requests[0], "From"), nullptr);
  EXPECT_EQ(exchange.requests[0].body, "\r\n--" + std::string(kMultipartBoundary) + "--\r\n");
}

}  // namespace
}  // namespace ostrel::upload
