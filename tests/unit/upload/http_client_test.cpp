#include "crash/ui/upload/http_client.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "crash/ui/upload/http_auth.h"
#include "crash/ui/upload/server_address.h"
#include "tests/unit/upload/scripted_exchange.h"

namespace ostrel::upload {
namespace {

using test::ScriptedExchange;

TEST(ServerAddress, SplitIntoHostPathAndPort) {
  ServerAddress a = ParseServerAddress(u"https://bugs.example.com/bugzilla", 0, true);
  EXPECT_EQ(a.host, "bugs.example.com");
  EXPECT_EQ(a.path, "/bugzilla");
  EXPECT_EQ(a.port, 443);
  EXPECT_EQ(a.Target("/xmlrpc.cgi"), "/bugzilla/xmlrpc.cgi");
  EXPECT_EQ(a.Origin(), "https://bugs.example.com");

  a = ParseServerAddress(u"upload.example.com", 80, false);
  EXPECT_EQ(a.path, "");
  EXPECT_EQ(a.Target(), "/");
  EXPECT_EQ(a.Target("/api.xml"), "/api.xml");

  a = ParseServerAddress(u"ftp+odd://h:8080/up load/\u00e9.php", 80, false);
  EXPECT_EQ(a.host, "h");
  EXPECT_EQ(a.port, 8080);
  EXPECT_EQ(a.path, "/up%20load/%C3%A9.php");
  EXPECT_EQ(a.Origin(), "http://h:8080");
  EXPECT_EQ(ParseServerAddress(u"h/", 81, false).Target(), "/");
}

TEST(ServerAddress, BadAddressesAreRefusedWithAReason) {
  for (const char16_t* bad : {u"", u"http://", u"/path/only", u"h:0/x", u"h:70000", u"h:8o",
                              u"bad host/x", u"h\u00e9st", u"h/a\rb", u"h:"}) {
    EXPECT_THROW(ParseServerAddress(bad, 80, false), std::invalid_argument);
  }
  EXPECT_THROW(ParseServerAddress(u"h", 65536, false), std::invalid_argument);
  EXPECT_THROW(ParseServerAddress(u"h", -1, false), std::invalid_argument);
}

TEST(HttpAuth, SchemeChosenInTheFixedOrder) {
  HttpResponse r;
  r.headers = {{"WWW-Authenticate", "Basic realm=\"a, Digest b\""},
               {"www-authenticate", "Digest realm=\"x\", nonce=\"y\", qop=auth"}};
  EXPECT_EQ(PickAuthScheme(r, AuthTarget::Server), AuthScheme::Digest);
  EXPECT_EQ(PickAuthScheme(r, AuthTarget::Proxy), AuthScheme::None);
  r.headers.push_back({"WWW-Authenticate", "NTLM, Negotiate"});
  EXPECT_EQ(PickAuthScheme(r, AuthTarget::Server), AuthScheme::Negotiate);
  r.headers = {{"Proxy-Authenticate", "Basic realm=proxy"}};
  EXPECT_EQ(PickAuthScheme(r, AuthTarget::Proxy), AuthScheme::Basic);
  r.headers = {{"WWW-Authenticate", "Bearer realm=x, Passport1.4 da=1"}};
  EXPECT_EQ(PickAuthScheme(r, AuthTarget::Server), AuthScheme::Passport);
  EXPECT_EQ(BasicAuthorization(u"Aladdin", u"open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

class HttpClientTest : public ::testing::Test {
 protected:
  HttpClient Client(HttpClientSettings settings = {}) {
    return HttpClient(exchange, ParseServerAddress(u"h:8080/base", 80, false), settings,
                      [this](const std::string& target) { opened.push_back(target); });
  }
  ScriptedExchange exchange;
  std::vector<std::string> opened;
};

TEST_F(HttpClientTest, OnlyOkAndRedirectsSucceed) {
  HttpClient http = Client();
  for (int status : {200, 301, 302, 303}) {
    exchange.Answer(status, "b");
    const HttpResult r = http.Get("/x");
    EXPECT_TRUE(r.ok) << status;
    EXPECT_EQ(r.body, "b");
  }
  for (int status : {201, 204, 304, 307, 400, 401, 404, 407, 500}) {
    exchange.Answer(status, "");
    const HttpResult r = http.Get("/x");
    EXPECT_FALSE(r.ok) << status;
    EXPECT_NE(r.error.find(std::to_string(status)), std::string::npos) << r.error;
    EXPECT_EQ(http.LastError(), r.error);
  }
  exchange.Answer({0, "", {}, true});
  EXPECT_NE(http.Get("/x").error.find("connection reset"), std::string::npos);
  EXPECT_TRUE(opened.empty());
}

TEST_F(HttpClientTest, RedirectTargetsMadeAbsoluteAndOnlyWebPagesOpened) {
  HttpClient http = Client();
  struct Case {
    std::string location, absolute;
    bool opens;
  };
  const Case cases[] = {
      {"https://other/thanks?id=1", "https://other/thanks?id=1", true},
      {"/thanks", "http://h:8080/thanks", true},
      {"done.html", "http://h:8080/base/done.html", true},
      {"//cdn/x", "http://cdn/x", true},
      {"file:///c:/windows/system32/calc.exe", "file:///c:/windows/system32/calc.exe", false},
      {"javascript://x", "javascript://x", false}};
  for (const Case& c : cases) {
    opened.clear();
    exchange.Answer({302, "", {{"Location", c.location}}});
    const HttpResult r = http.Post("/base/up.php?a=/b", "text/plain", "x");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.location, c.absolute);
    EXPECT_EQ(opened.size(), c.opens ? 1u : 0u) << c.location;
  }
  HttpClientSettings off;
  off.openRedirectTargets = false;
  HttpClient quiet = Client(off);
  opened.clear();
  exchange.Answer({303, "", {{"Location", "/x"}}});
  EXPECT_TRUE(quiet.Get("/y").ok);
  EXPECT_TRUE(opened.empty());
}

TEST_F(HttpClientTest, OneAuthenticationRoundForEachSide) {
  HttpClientSettings settings;
  settings.account = u"ann";
  settings.password = u"pw";
  settings.proxyUser = u"proxy";
  HttpClient http = Client(settings);
  exchange.Answer(401, "");
  exchange.Answer(407, "");
  exchange.Answer(200, "in");
  EXPECT_TRUE(http.Post("/p", "text/xml", "<x/>").ok);
  ASSERT_EQ(exchange.requests.size(), 3u);
  // Sent again completely.
  EXPECT_EQ(exchange.requests[2].body, "<x/>");
  ASSERT_EQ(exchange.authentications.size(), 2u);
  EXPECT_EQ(exchange.authentications[0].first, AuthTarget::Server);
  EXPECT_EQ(exchange.authentications[0].second, u"ann");
  EXPECT_EQ(exchange.authentications[1].first, AuthTarget::Proxy);
  // The round is used up: a server that keeps asking fails the request.
  exchange.Answer(401, "");
  EXPECT_FALSE(http.Get("/p").ok);
  EXPECT_EQ(exchange.Left(), 0u);
}

TEST_F(HttpClientTest, NoAuthenticationWithoutAccountOrUsableScheme) {
  HttpClient anonymous = Client();
  exchange.Answer(401, "");
  EXPECT_FALSE(anonymous.Get("/p").ok);
  EXPECT_TRUE(exchange.authentications.empty());

  HttpClientSettings settings;
  settings.account = u"ann";
  HttpClient http = Client(settings);
  exchange.acceptCredentials = false;
  exchange.Answer(401, "");
  EXPECT_FALSE(http.Get("/p").ok);
  EXPECT_EQ(exchange.requests.size(), 2u);
}

TEST_F(HttpClientTest, RequestsThatWouldBreakTheProtocolAreNotSent) {
  HttpClient http = Client();
  EXPECT_FALSE(http.Post("/p", "text/plain\r\nX-Evil: 1", "").ok);
  EXPECT_FALSE(http.Post("/p", "text/plain", "", {{"From", "a@b\nX: y"}}).ok);
  EXPECT_FALSE(http.Get("/p\r\nHost: other").ok);
  EXPECT_FALSE(http.Get("relative").ok);
  EXPECT_TRUE(exchange.requests.empty());
  EXPECT_FALSE(http.LastError().empty());
}

}  // namespace
}  // namespace ostrel::upload
