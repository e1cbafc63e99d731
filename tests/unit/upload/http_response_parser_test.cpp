#include "crash/ui/upload/http_response_parser.h"

#include <gtest/gtest.h>

namespace ostrel::upload {
namespace {

using State = HttpResponseParser::State;

// Fed whole, then byte by byte: both must read the same.
HttpResponseParser ParseBothWays(std::string_view text, bool close, State& whole, State& bytes) {
  HttpResponseParser a, b;
  whole = a.Feed(text);
  if (close) whole = a.Finish();
  for (char c : text) bytes = b.Feed(std::string_view(&c, 1));
  if (close) bytes = b.Finish();
  EXPECT_EQ(a.Response().body, b.Response().body);
  EXPECT_EQ(a.Error(), b.Error());
  return a;
}

TEST(HttpResponseParser, BodiesByLengthChunksAndClose) {
  struct Case {
    const char* why;
    std::string text;
    bool close;
    int status;
    std::string body;
  };
  const Case cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, 200, "hello"},
      {"length zero", "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", false, 302,
       ""},
      {"chunks with extension and trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5;x=y\r\nhello\r\nA\r\n, world!!!\r\n"
       "0\r\nX-Trailer: 1\r\n\r\n",
       false, 200, "hello, world!!!"},
      {"to the close", "HTTP/1.0 200 OK\r\nServer: t\r\n\r\nall of it\r\n", true, 200,
       "all of it\r\n"},
      {"no reason text", "HTTP/1.1 404\r\nContent-Length: 1\r\n\r\nx", false, 404, "x"},
      {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, 204, ""},
      {"interim answer first",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\n"
       "Content-Length: 2\r\n\r\nok",
       false, 201, "ok"},
      {"binary body", std::string("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n\0\r\n", 41), false,
       200, std::string("\0\r\n", 3)},
  };
  for (const Case& c : cases) {
    State whole, bytes;
    const HttpResponseParser p = ParseBothWays(c.text, c.close, whole, bytes);
    EXPECT_EQ(whole, State::Done) << c.why << ": " << p.Error();
    EXPECT_EQ(bytes, State::Done) << c.why;
    EXPECT_EQ(p.Response().status, c.status) << c.why;
    EXPECT_EQ(p.Response().body, c.body) << c.why;
  }
}

TEST(HttpResponseParser, HeadersKeptInOrderAndFoundWithoutRegardToCase) {
  HttpResponseParser p;
  ASSERT_EQ(p.Feed("HTTP/1.1 301 Moved\r\nlocation:   http://h/x  \r\nSet-Cookie: a\r\n"
                   "Set-Cookie: b\r\nContent-Length: 0\r\n\r\n"),
            State::Done);
  const HttpResponse& r = p.Response();
  ASSERT_NE(r.Header("Location"), nullptr);
  EXPECT_EQ(*r.Header("LOCATION"), "http://h/x");
  ASSERT_EQ(r.headers.size(), 4u);
  EXPECT_EQ(r.headers[2].value, "b");
  EXPECT_EQ(r.Header("X-None"), nullptr);
}

TEST(HttpResponseParser, UnfinishedResponsesWaitThenFailAtTheClose) {
  for (const char* text : {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel",
                           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Le", ""}) {
    HttpResponseParser p;
    EXPECT_EQ(p.Feed(text), State::NeedMore) << text;
    EXPECT_EQ(p.Finish(), State::Failed) << text;
    EXPECT_FALSE(p.Error().empty());
  }
}

TEST(HttpResponseParser, MalformedResponsesFailWithAReason) {
  const char* bad[] = {
      "HTTP/2 200 OK\r\n\r\n",
      "ICY 200 OK\r\n\r\n",
      "HTTP/1.1 20 OK\r\n\r\n",
      "HTTP/1.1 2000 OK\r\n\r\n",
      "HTTP/1.1 099 Low\r\n\r\n",
      "HTTP/1.1 200 OK\n\n",
      "HTTP/1.1 200 OK\r\nNo colon\r\n\r\n",
      "HTTP/1.1 200 OK\r\n: empty name\r\n\r\n",
      "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n",
      "HTTP/1.1 200 OK\r\nA: 1\r\n folded\r\n\r\n",
      "HTTP/1.1 200 OK\r\nA: x\x01y\r\n\r\n",
      "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello",
      "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
      "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\n",
      "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nfffffffffffffffff\r\n",
      "HTTP/1.1 101 Switching Protocols\r\n\r\n",
  };
  for (const char* text : bad) {
    HttpResponseParser p;
    EXPECT_EQ(p.Feed(text), State::Failed) << text;
    EXPECT_FALSE(p.Error().empty()) << text;
    // A failed parser stays failed.
    EXPECT_EQ(p.Feed("HTTP/1.1 200 OK\r\n\r\n"), State::Failed);
  }
}

TEST(HttpResponseParser, LimitsHold) {
  HttpLimits small;
  small.maxLine = 64;
  small.maxHeaderBytes = 150;
  small.maxHeaders = 3;
  small.maxBody = 10;
  auto fails = [&small](const std::string& text, bool close = false) {
    HttpResponseParser p(small);
    State s = p.Feed(text);
    if (close) s = p.Finish();
    return s == State::Failed;
  };
  EXPECT_TRUE(fails("HTTP/1.1 200 " + std::string(100, 'x')));  // before its end arrives
  EXPECT_TRUE(fails("HTTP/1.1 200 OK\r\nA: " + std::string(70, 'x') + "\r\n\r\n"));
  EXPECT_TRUE(fails("HTTP/1.1 200 OK\r\nA: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\n\r\n"));
  std::string many = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 3; ++i)
    many += "H" + std::to_string(i) + ": " + std::string(60, 'v') + "\r\n";
  EXPECT_TRUE(fails(many + "\r\n"));
  EXPECT_TRUE(fails("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n"));
  EXPECT_TRUE(fails("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\nabcdef\r\n6\r\n"));
  EXPECT_TRUE(fails("HTTP/1.1 200 OK\r\n\r\n" + std::string(11, 'b'), true));
  std::string interim;
  for (int i = 0; i < 9; ++i) interim += "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_TRUE(fails(interim));
  // Exactly at the limits is fine.
  EXPECT_FALSE(fails("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"));
}

TEST(HttpResponseParser, BytesAfterTheResponseAreIgnored) {
  HttpResponseParser p;
  EXPECT_EQ(p.Feed("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokHTTP/1.1 500 No\r\n"),
            State::Done);
  EXPECT_EQ(p.Feed("more"), State::Done);
  EXPECT_EQ(p.Response().status, 200);
  EXPECT_EQ(p.Response().body, "ok");
}

TEST(HttpResponseParser, AnswerToHeadHasNoBody) {
  HttpResponseParser p(HttpLimits{}, true);
  EXPECT_EQ(p.Feed("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"), State::Done);
  EXPECT_EQ(p.Response().body, "");
}

}  // namespace
}  // namespace ostrel::upload
