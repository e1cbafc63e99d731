#include "crash/ui/upload/header_block.h"

#include <gtest/gtest.h>

namespace ostrel::upload {
namespace {

std::vector<HttpHeader> Read(std::string_view block, std::string& error, HttpLimits limits = {}) {
  std::vector<HttpHeader> headers{{"stale", "left from before"}};
  if (!ReadHeaderBlock(block, limits, headers, error)) return {{"failed", error}};
  return headers;
}

TEST(HeaderBlock, ReadsTheBlockWithOrWithoutItsBlankLine) {
  for (const char* end : {"\r\n\r\n", "\r\n", ""}) {
    std::string error;
    const std::vector<HttpHeader> h =
        Read(std::string("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\n"
                         "WWW-Authenticate:  Basic realm=\"a, b\"\t\r\nContent-Length: 0") +
                 end,
             error);
    ASSERT_EQ(h.size(), 3u) << end << error;
    EXPECT_EQ(h[0].name, "WWW-Authenticate");
    EXPECT_EQ(h[1].value, "Basic realm=\"a, b\"");
    EXPECT_EQ(h[2].value, "0");
  }
  // Whatever the first line says, it is not read as a header.
  std::string error;
  EXPECT_TRUE(Read("HTTP/1.1 200 OK", error).empty()) << error;
  EXPECT_TRUE(Read("", error).empty()) << error;
  const std::vector<HttpHeader> odd = Read("Name: not a header\r\nX: 1\r\n", error);
  ASSERT_EQ(odd.size(), 1u) << error;
  EXPECT_EQ(odd[0].name, "X");
}

TEST(HeaderBlock, RefusesWhatIsNoHeaderAndTooMuch) {
  const char* malformed[] = {
      "HTTP/1.1 200 OK\r\nno colon here\r\n\r\n", "HTTP/1.1 200 OK\r\nA: 1\r\n folded\r\n\r\n",
      "HTTP/1.1 200 OK\r\n: nameless\r\n\r\n",    "HTTP/1.1 200 OK\r\nA B: spaced name\r\n\r\n",
      "HTTP/1.1 200 OK\r\nA: 1\nB: 2\r\n\r\n",
  };
  for (const char* block : malformed) {
    std::string error;
    EXPECT_EQ(Read(block, error)[0].name, "failed") << block;
    EXPECT_FALSE(error.empty()) << block;
  }
  std::string error;
  EXPECT_EQ(Read(std::string("HTTP/1.1 200 OK\r\nA: x\0y\r\n", 25), error)[0].name, "failed");

  HttpLimits limits;
  limits.maxHeaders = 3;
  const std::string three = "HTTP/1.1 200 OK\r\nA: 1\r\nB: 2\r\nC: 3\r\n";
  EXPECT_EQ(Read(three, error, limits).size(), 3u) << error;
  EXPECT_EQ(Read(three + "D: 4\r\n", error, limits)[0].name, "failed");
  limits = {};
  limits.maxHeaderBytes = 100;
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nA: " + std::string(120, 'x') + "\r\n", error, limits)[0].name,
            "failed");
}

}  // namespace
}  // namespace ostrel::upload
