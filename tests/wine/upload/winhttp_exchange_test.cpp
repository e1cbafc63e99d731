// The WinHTTP exchange against a scripted loopback server: what goes out,
// what comes back, and that no server can keep a request past its deadline.
#include "crash/ui/upload/win/winhttp_exchange.h"

#include <gtest/gtest.h>

#include "crash/ui/upload/http_client.h"
#include "tests/wine/upload/loopback_http_server.h"

namespace ostrel::upload {
namespace {

using test::LoopbackHttpServer;
using test::ReceivedRequest;
using test::ScriptedReply;
using Clock = std::chrono::steady_clock;

ScriptedReply Text(std::string text) { return {ScriptedReply::Kind::Text, std::move(text)}; }

ServerAddress Local(const LoopbackHttpServer& server) {
  return ParseServerAddress(u"127.0.0.1/up", server.Port(), false);
}

bool Holds(const std::string& head, const std::string& line) {
  return head.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(WinHttpExchange, SendsTheBodyInPiecesAndReadsTheWholeAnswer) {
  std::string body(200000, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + i / 251);
  LoopbackHttpServer server([](const ReceivedRequest&, int) {
    return Text(
        "HTTP/1.1 200 OK\r\nX-Answer:  kept \r\nTransfer-Encoding: chunked\r\n\r\n"
        "5\r\nhello\r\n7\r\n, world\r\n0\r\n\r\n");
  });
  ASSERT_NE(server.Port(), 0);
  TWinHttpExchange exchange(Local(server), {});
  HttpResponse response;
  std::string error;
  ASSERT_TRUE(
      exchange.Send({"POST", "/up/form?a=1", {{"Content-Type", "x/y"}, {"X-Mine", "1"}}, body},
                    Clock::now() + std::chrono::seconds(20), response, error))
      << error;
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "hello, world");
  ASSERT_NE(response.Header("x-answer"), nullptr);
  EXPECT_EQ(*response.Header("x-answer"), "kept");

  const std::vector<ReceivedRequest> got = server.Received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].head.starts_with("POST /up/form?a=1 HTTP/1.1\r\n")) << got[0].head;
  EXPECT_TRUE(Holds(got[0].head, "Content-Length: 200000")) << got[0].head;
  EXPECT_TRUE(Holds(got[0].head, "X-Mine: 1")) << got[0].head;
  EXPECT_TRUE(Holds(got[0].head, std::string("User-Agent: ") + kUserAgent)) << got[0].head;
  EXPECT_TRUE(got[0].body == body);
}

TEST(WinHttpExchange, LeavesRedirectsAndChallengesToTheClient) {
  LoopbackHttpServer server([](const ReceivedRequest& r, int) {
    if (r.head.starts_with("GET /moved "))
      return Text("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n");
    if (!Holds(r.head, "Authorization: Basic YW5uOnB3"))  // ann:pw
      return Text(
          "HTTP/1.1 401 No\r\nWWW-Authenticate: Bearer x=1\r\nWWW-Authenticate: Basic "
          "realm=\"r\"\r\nContent-Length: 2\r\n\r\nno");
    return Text("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  TWinHttpExchange exchange(Local(server), {});
  std::vector<std::string> opened;
  HttpClientSettings settings;
  settings.account = u"ann";
  settings.password = u"pw";
  HttpClient http(exchange, Local(server), settings,
                  [&](const std::string& url) { opened.push_back(url); });
  const HttpResult moved = http.Get("/moved");
  EXPECT_TRUE(moved.ok) << moved.error;
  EXPECT_EQ(moved.status, 302);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "http://127.0.0.1:" + std::to_string(server.Port()) + "/elsewhere");
  EXPECT_EQ(server.Received().size(), 1u);  // not followed

  const HttpResult asked = http.Get("/up/private");
  EXPECT_TRUE(asked.ok) << asked.error;
  EXPECT_EQ(asked.body, "ok");
  // Later requests carry the credentials too (from the start where WinHTTP
  // sends Basic ones unasked).
  EXPECT_EQ(http.Get("/up/again").body, "ok");
  const std::vector<ReceivedRequest> got = server.Received();
  ASSERT_GE(got.size(), 4u);
  EXPECT_TRUE(got.back().head.starts_with("GET /up/again "));
  EXPECT_TRUE(Holds(got.back().head, "Authorization: Basic YW5uOnB3"));

  HttpResponse none;
  none.headers = {{"WWW-Authenticate", "Bearer realm=\"x\""}};
  EXPECT_FALSE(exchange.Authenticate(AuthTarget::Server, none, u"ann", u"pw"));
  none.headers = {{"WWW-Authenticate", "Basic realm=\"x\""}};
  EXPECT_FALSE(exchange.Authenticate(AuthTarget::Proxy, none, u"ann", u"pw"));
  EXPECT_FALSE(exchange.Authenticate(AuthTarget::Server, none, u"", u"pw"));
}

TEST(WinHttpExchange, HostileServersEndInAFailureByTheDeadline) {
  struct Case {
    const char* why;
    ScriptedReply reply;
  };
  const Case cases[] = {
      {"silence", {ScriptedReply::Kind::Silent, {}}},
      {"endless body", {ScriptedReply::Kind::Endless, {}}},
      {"closed at once", {ScriptedReply::Kind::CloseAtOnce, {}}},
      {"not HTTP", Text("SSH-2.0-OpenSSH\r\n\r\n")},
      {"header line without colon",
       Text("HTTP/1.1 200 OK\r\nno colon\r\nContent-Length: 0\r\n\r\n")},
      {"body shorter than its length", Text("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc")},
      {"endless headers", Text("HTTP/1.1 200 OK\r\n" + std::string(300000, 'a') + ": b\r\n\r\n")},
  };
  for (const Case& c : cases) {
    LoopbackHttpServer server([&](const ReceivedRequest&, int) { return c.reply; });
    TWinHttpExchange exchange(Local(server), {});
    HttpResponse response;
    std::string error;
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(
        exchange.Send({"GET", "/up/", {}, {}}, start + std::chrono::seconds(3), response, error))
        << c.why << ": status " << response.status;
    EXPECT_FALSE(error.empty()) << c.why;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << c.why;
  }

  // No time left: nothing is sent.
  LoopbackHttpServer server(
      [](const ReceivedRequest&, int) { return Text("HTTP/1.1 200 OK\r\n\r\n"); });
  TWinHttpExchange exchange(Local(server), {});
  HttpResponse response;
  std::string error;
  EXPECT_FALSE(exchange.Send({"GET", "/", {}, {}}, Clock::now(), response, error));
  EXPECT_EQ(server.Received().size(), 0u);
}

}  // namespace
}  // namespace ostrel::upload

