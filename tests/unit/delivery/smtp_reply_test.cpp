#include "crash/ui/delivery/smtp_reply.h"

#include <gtest/gtest.h>

#include "crash/ui/delivery/smtp_extensions.h"

namespace ostrel::delivery {
namespace {

// Feeds `bytes` in pieces of `piece` bytes until the parser stops asking
// for more; `rest` gets what belongs to the next reply.
ReplyState FeedInPieces(SmtpReplyParser& parser, std::string_view bytes, std::size_t piece,
                        std::string* rest = nullptr) {
  ReplyState state = ReplyState::Incomplete;
  while (!bytes.empty()) {
    std::size_t used = 0;
    state = parser.Feed(bytes.substr(0, piece), used);
    bytes.remove_prefix(used);
    if (state != ReplyState::Incomplete) break;
  }
  if (rest) *rest = std::string(bytes);
  return state;
}

TEST(SmtpReply, SingleAndMultiLineRepliesInAnyPieces) {
  const std::string ehlo =
      "250-mx.example.org greets you\r\n250-SIZE 10240000\r\n250-AUTH LOGIN PLAIN\r\n250 "
      "STARTTLS\r\n";
  for (std::size_t piece : {1u, 2u, 5u, 1000u}) {
    SmtpReplyParser parser;
    std::string rest;
    ASSERT_EQ(FeedInPieces(parser, ehlo + "221 bye\r\n", piece, &rest), ReplyState::Complete);
    EXPECT_EQ(parser.Reply().code, 250);
    EXPECT_EQ(parser.Reply().firstLine, "250-mx.example.org greets you");
    EXPECT_EQ(parser.Reply().lines,
              (std::vector<std::string>{"mx.example.org greets you", "SIZE 10240000",
                                        "AUTH LOGIN PLAIN", "STARTTLS"}));
    EXPECT_EQ(rest, "221 bye\r\n") << "the next reply stays unread";
    // The same parser reads the next reply.
    ASSERT_EQ(FeedInPieces(parser, "221 bye\r\n", piece), ReplyState::Complete);
    EXPECT_EQ(parser.Reply().code, 221);
    EXPECT_EQ(parser.Reply().lines, std::vector<std::string>{"bye"});
  }
}

TEST(SmtpReply, BareCodesAndLineFeeds) {
  SmtpReplyParser parser;
  ASSERT_EQ(FeedInPieces(parser, "250\r\n", 3), ReplyState::Complete);
  EXPECT_EQ(parser.Reply().lines, std::vector<std::string>{""});
  ASSERT_EQ(FeedInPieces(parser, "354-a\n354 b\n", 3), ReplyState::Complete);
  EXPECT_EQ(parser.Reply().code, 354);
  EXPECT_EQ(parser.Reply().lines, (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(FeedInPieces(parser, "220 ", 4), ReplyState::Incomplete);
}

TEST(SmtpReply, MalformedRepliesAreRefused) {
  for (const char* bad :
       {"25 short\r\n", "2x0 letters\r\n", "250_bad separator\r\n",
        "250-first\r\n354 other code\r\n", "\r\n", "hello\r\n", "250-a\r\n\r\n"}) {
    SmtpReplyParser parser;
    EXPECT_EQ(FeedInPieces(parser, bad, 4), ReplyState::Malformed) << bad;
    // It stays refused whatever follows.
    std::size_t used = 0;
    EXPECT_EQ(parser.Feed("250 ok\r\n", used), ReplyState::Malformed);
  }
}

TEST(SmtpReply, EndlessAndHugeRepliesStopAtTheirLimits) {
  SmtpReplyParser lines;
  std::string many;
  for (std::size_t i = 0; i < SmtpReplyParser::kLineCountLimit + 5; ++i) many += "250-more\r\n";
  EXPECT_EQ(FeedInPieces(lines, many, 64), ReplyState::TooManyLines);
  EXPECT_EQ(lines.Reply().lines.size(), SmtpReplyParser::kLineCountLimit);

  SmtpReplyParser huge;
  EXPECT_EQ(
      FeedInPieces(huge, "250 " + std::string(SmtpReplyParser::kLineLimit, 'x') + "\r\n", 100),
      ReplyState::LineTooLong);
  // A line just within the limit passes.
  SmtpReplyParser fits;
  EXPECT_EQ(
      FeedInPieces(fits, "250 " + std::string(SmtpReplyParser::kLineLimit - 5, 'x') + "\r\n", 100),
      ReplyState::Complete);
  EXPECT_STREQ(ReplyStateText(ReplyState::LineTooLong), "reply line too long");
}

SmtpReply ReplyOf(const std::string& text) {
  SmtpReplyParser parser;
  std::size_t used = 0;
  EXPECT_EQ(parser.Feed(text, used), ReplyState::Complete) << text;
  return parser.Reply();
}

TEST(SmtpExtensions, StartTlsAndLoginOffered) {
  SmtpExtensions e = ReadExtensions(
      ReplyOf("250-mx.example.org\r\n250-AUTH PLAIN LOGIN CRAM-MD5\r\n250-starttls\r\n250 OK\r\n"));
  EXPECT_TRUE(e.startTls);
  EXPECT_TRUE(e.auth);
  EXPECT_TRUE(e.authLogin);
  // The old form with "=", and LOGIN only as part of another word.
  e = ReadExtensions(ReplyOf("250-mx\r\n250 AUTH=LOGIN\r\n"));
  EXPECT_TRUE(e.authLogin);
  e = ReadExtensions(ReplyOf("250-mx\r\n250-AUTH PLAIN XLOGIN\r\n250 STARTTLS NOW\r\n"));
  EXPECT_TRUE(e.auth);
  EXPECT_FALSE(e.authLogin);
  EXPECT_FALSE(e.startTls);
  // The greeting line names the server, not an extension.
  e = ReadExtensions(ReplyOf("250 STARTTLS\r\n"));
  EXPECT_FALSE(e.startTls);
  e = ReadExtensions(ReplyOf("250-mx\r\n250-AUTHENTICATE LOGIN\r\n250 8BITMIME\r\n"));
  EXPECT_FALSE(e.auth);
}

}  // namespace
}  // namespace ostrel::delivery
