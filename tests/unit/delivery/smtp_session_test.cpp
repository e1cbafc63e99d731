#include "crash/ui/delivery/smtp_session.h"

#include <gtest/gtest.h>

#include "crash/ui/delivery/base64.h"
#include "crash/ui/delivery/mail_date.h"
#include "mime_reading.h"
#include "scripted_server.h"
#include "tests/support/random_bytes.h"

namespace ostrel::delivery {
namespace {

using testing::Answer;
using testing::kData;
using testing::ScriptedServer;
using testing::ServerLog;
using testing::Step;

MailMessage Message(std::u16string body = u"please find the bug report attached") {
  MailMessage m;
  m.from = *ParseMailAddress(u"Ostrel <support@example.org>");
  m.to = {*ParseMailAddress(u"support@example.org")};
  m.replyTo = m.from;
  m.subject = u"bug report";
  m.body = std::move(body);
  m.fileTime = FileTimeOfDateTime({2024, 3, 7, 9, 5, 3});
  return m;
}

struct Outcome {
  std::shared_ptr<ServerLog> log = std::make_shared<ServerLog>();
  bool opened = false, sent = false;
  std::string error;
  bool startTlsUsed = false, authenticated = false;
};

// One session against `script`, closed before the result is looked at.
Outcome Talk(std::vector<Step> script, SmtpSessionOptions options = {},
             MailMessage message = Message(), bool tlsWorks = true, const std::string& inject = "",
             std::size_t breakAfter = SIZE_MAX) {
  Outcome run;
  auto server = std::make_unique<ScriptedServer>(std::move(script), run.log, tlsWorks);
  if (!inject.empty()) server->Inject("STARTTLS", inject);
  server->BreakAfter(breakAfter);
  {
    TSmtp session(std::move(server), options);
    SendProgress progress;
    run.opened = session.Open();
    if (run.opened) run.sent = session.SendMessage(message, message.from, message.to, progress);
    run.error = session.LastError();
    run.startTlsUsed = session.StartTlsUsed();
    run.authenticated = session.Authenticated();
  }
  return run;
}

SmtpSessionOptions Options(bool tls, std::u16string account = u"", std::u16string password = u"") {
  SmtpSessionOptions o;
  o.tls = tls;
  o.account = std::move(account);
  o.password = std::move(password);
  o.heloName = "crash pc";
  return o;
}

TEST(SmtpSession, GoodPathSendsTheMessageAndQuits) {
  MailMessage message = Message();
  message.attachments = {{u"bugreport.txt", test_data::RandomBytes(3000, 4)}};
  const Outcome run = Talk(testing::GoodDialogue(), Options(false), message);
  ASSERT_TRUE(run.sent) << run.error << run.log->fault;
  EXPECT_EQ(run.log->lines,
            (std::vector<std::string>{"EHLO crash-pc", "MAIL FROM:<support@example.org>",
                                      "RCPT TO:<support@example.org>", "DATA", "QUIT"}));
  EXPECT_EQ(testing::RemoveDots(run.log->data), BuildMimeMessage(message));
  EXPECT_LE(run.log->largestSend, 1024u);
  EXPECT_FALSE(run.startTlsUsed);
  EXPECT_FALSE(run.authenticated);
}

TEST(SmtpSession, EveryLineBeginningWithADotArrivesEqual) {
  const std::u16string body = u".NET\r\n...\r\n.\r\nmiddle . dot\r\n.\r\n..\r\n. blank\r\n.";
  const Outcome run = Talk(testing::GoodDialogue(), Options(false), Message(body));
  ASSERT_TRUE(run.sent) << run.error;
  // On the wire every such line has one more dot, and only the final
  // line is a single dot.
  const std::vector<std::string> wire = testing::Lines(run.log->data);
  EXPECT_EQ(std::count(wire.begin(), wire.end(), "."), 1);
  EXPECT_NE(std::find(wire.begin(), wire.end(), "..NET"), wire.end());
  EXPECT_NE(std::find(wire.begin(), wire.end(), "...."), wire.end());
  const auto received = testing::RemoveDots(run.log->data);
  ASSERT_TRUE(received);
  const testing::MimeEntity part = testing::ReadParts(*received, kMultipartBoundary).at(0);
  EXPECT_EQ(part.body, ".NET\r\n...\r\n.\r\nmiddle . dot\r\n.\r\n..\r\n. blank\r\n.");
}

TEST(SmtpSession, HeloWhenEhloIsNotKnown) {
  std::vector<Step> script = {{"", "220 old server\r\n"},
                              {"EHLO", "502 command not implemented\r\n"},
                              {"HELO crash-pc", "250 hello\r\n"}};
  std::vector<Step> rest = testing::GoodDialogue();
  script.insert(script.end(), rest.begin() + 2, rest.end());
  Outcome run = Talk(script, Options(false, u"ann", u"secret"));
  EXPECT_TRUE(run.sent) << run.error;
  EXPECT_FALSE(run.log->Sent("AUTH"));

  run = Talk({{"", "220 old\r\n"}, {"EHLO", "500 no\r\n"}, {"HELO", "501 not you\r\n"}},
             Options(false));
  EXPECT_FALSE(run.opened);
  EXPECT_EQ(run.error, "HELO failed (501 not you)");
}

TEST(SmtpSession, StartTlsThenLogin) {
  const std::string ehlo = "250-mx\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";
  std::vector<Step> script = {
      {"", "220 mx\r\n"},
      {"EHLO", ehlo},
      {"STARTTLS", "220 go ahead\r\n"},
      {"EHLO", "250-mx\r\n250 AUTH LOGIN\r\n"},
      {"AUTH LOGIN", "334 VXNlcm5hbWU6\r\n"},
      {EncodeBase64(std::string_view("ann\xc3\xa9")), "334 UGFzc3dvcmQ6\r\n"},
      {EncodeBase64(std::string_view("s3cr\xe2\x82\xac")), "235 ok\r\n"}};
  std::vector<Step> rest = testing::GoodDialogue();
  script.insert(script.end(), rest.begin() + 2, rest.end());
  const Outcome run = Talk(script, Options(true, u"ann\u00e9", u"s3cr\u20ac"));
  EXPECT_TRUE(run.sent) << run.error << " at " << run.log->fault;
  EXPECT_TRUE(run.log->tls);
  EXPECT_TRUE(run.startTlsUsed);
  EXPECT_TRUE(run.authenticated);
}

TEST(SmtpSession, AskedForTlsWithoutStartTlsSendsNoCredentials) {
  for (const char* ehlo : {"250-mx\r\n250 AUTH LOGIN PLAIN\r\n", "250 mx\r\n"}) {
    const Outcome run =
        Talk({{"", "220 mx\r\n"}, {"EHLO", ehlo}, {"RSET", "250 ok\r\n"}, {"QUIT", "221 bye\r\n"}},
             Options(true, u"ann", u"secret"));
    EXPECT_FALSE(run.opened);
    EXPECT_EQ(run.error, "TLS failed (STARTTLS not offered)");
    EXPECT_FALSE(run.log->Sent("AUTH"));
    EXPECT_FALSE(run.log->Sent("MAIL"));
    EXPECT_FALSE(run.log->tls);
    EXPECT_EQ(run.log->fault, "");
  }
  // HELO offers no extensions: the same.
  const Outcome helo = Talk({{"", "220\r\n"}, {"EHLO", "500 no\r\n"}, {"HELO", "250 ok\r\n"}},
                            Options(true, u"ann", u"pw"));
  EXPECT_EQ(helo.error, "TLS failed (STARTTLS not offered)");
  EXPECT_FALSE(helo.log->Sent("AUTH"));
}

TEST(SmtpSession, WithoutTlsAskedStartTlsOnlyForAnAccountWithoutAuth) {
  // An account and no AUTH offered: STARTTLS, in the hope of AUTH after it.
  std::vector<Step> script = {{"", "220 mx\r\n"},
                              {"EHLO", "250-mx\r\n250 STARTTLS\r\n"},
                              {"STARTTLS", "220 go\r\n"},
                              {"EHLO", "250-mx\r\n250 AUTH PLAIN\r\n"}};
  std::vector<Step> rest = testing::GoodDialogue();
  script.insert(script.end(), rest.begin() + 2, rest.end());
  Outcome run = Talk(script, Options(false, u"ann", u"pw"));
  EXPECT_TRUE(run.sent) << run.error;
  EXPECT_TRUE(run.startTlsUsed);
  // PLAIN only: used without logging in.
  EXPECT_FALSE(run.log->Sent("AUTH"));

  // AUTH offered beside STARTTLS and no TLS asked: the login as described,
  // without STARTTLS.
  script = {{"", "220 mx\r\n"},
            {"EHLO", "250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n"},
            {"AUTH LOGIN", "334 x\r\n"},
            {"YW5u", "334 y\r\n"},
            {"cHc=", "235 ok\r\n"}};
  script.insert(script.end(), rest.begin() + 2, rest.end());
  run = Talk(script, Options(false, u"ann", u"pw"));
  EXPECT_TRUE(run.sent) << run.error << run.log->fault;
  EXPECT_FALSE(run.startTlsUsed);
  EXPECT_TRUE(run.authenticated);

  // Neither account nor password: nothing to log in with.
  script = testing::GoodDialogue("250-mx\r\n250 AUTH LOGIN\r\n");
  run = Talk(script, Options(false));
  EXPECT_TRUE(run.sent);
  EXPECT_FALSE(run.log->Sent("AUTH"));
}

TEST(SmtpSession, TlsFailures) {
  const std::vector<Step> offered = {{"", "220 mx\r\n"},
                                     {"EHLO", "250-mx\r\n250 STARTTLS\r\n"},
                                     {"STARTTLS", "220 go\r\n"},
                                     {"EHLO", "250 mx\r\n"}};
  Outcome run = Talk(offered, Options(true), Message(), false);
  EXPECT_EQ(run.error, "TLS failed");
  EXPECT_TRUE(run.log->tls);

  run = Talk({{"", "220 mx\r\n"},
              {"EHLO", "250-mx\r\n250 STARTTLS\r\n"},
              {"STARTTLS", "454 TLS not available\r\n"}},
             Options(true));
  EXPECT_EQ(run.error, "TLS failed (454 TLS not available)");

  // What comes after the 220 before the handshake is not the server's.
  run = Talk(offered, Options(true), Message(), true, "250 injected\r\n");
  EXPECT_FALSE(run.opened);
  EXPECT_EQ(run.error, "TLS failed");

  run = Talk({{"", "220 mx\r\n"},
              {"EHLO", "250-mx\r\n250 STARTTLS\r\n"},
              {"STARTTLS", "220 go\r\n"},
              {"EHLO", "421 going away\r\n"},
              {"HELO", "421 going away\r\n"}},
             Options(true));
  EXPECT_EQ(run.error, "2nd HELO failed (421 going away)");
}

TEST(SmtpSession, LoginRefused) {
  const Outcome run = Talk({{"", "220 mx\r\n"},
                            {"EHLO", "250-mx\r\n250 AUTH LOGIN\r\n"},
                            {"AUTH LOGIN", "334 x\r\n"},
                            {"YW5u", "334 y\r\n"},
                            {"d3Jvbmc=", "535 5.7.8 bad credentials\r\n"},
                            {"RSET", "250 ok\r\n"},
                            {"QUIT", "221 bye\r\n"}},
                           Options(false, u"ann", u"wrong"));
  EXPECT_FALSE(run.opened);
  EXPECT_EQ(run.error, "Authentication failed (535 5.7.8 bad credentials)");
  EXPECT_TRUE(run.log->Sent("QUIT"));
}

TEST(SmtpSession, ErrorRepliesFailWithTheirLine) {
  struct Case {
    std::vector<Step> script;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{{"", "554 no service here\r\n"}}, "No greeting (554 no service here)"},
      {{{"", "220 mx\r\n"},
        {"EHLO", "250 mx\r\n"},
        {"MAIL FROM", "550 sender refused\r\n"},
        {"RSET", "250 ok\r\n"},
        {"QUIT", "221 bye\r\n"}},
       "MAIL FROM failed (550 sender refused)"},
      {{{"", "220 mx\r\n"},
        {"EHLO", "250 mx\r\n"},
        {"MAIL FROM", "250 ok\r\n"},
        {"RCPT TO", "550 no such user\r\n"},
        {"RSET", "250 ok\r\n"},
        {"QUIT", "221 bye\r\n"}},
       "No recipient accepted (550 no such user)"},
      {{{"", "220 mx\r\n"},
        {"EHLO", "250 mx\r\n"},
        {"MAIL FROM", "250 ok\r\n"},
        {"RCPT TO", "250 ok\r\n"},
        {"DATA", "554 no data today\r\n"},
        {"RSET", "250 ok\r\n"},
        {"QUIT", "221 bye\r\n"}},
       "DATA failed (554 no data today)"},
      {{{"", "220 mx\r\n"},
        {"EHLO", "250 mx\r\n"},
        {"MAIL FROM", "250 ok\r\n"},
        {"RCPT TO", "250 ok\r\n"},
        {"DATA", "354 go\r\n"},
        {kData, "552 too big\r\n"},
        {"RSET", "250 ok\r\n"},
        {"QUIT", "221 bye\r\n"}},
       "Message not accepted (552 too big)"},
  };
  for (const Case& c : cases) {
    const Outcome run = Talk(c.script, Options(false));
    EXPECT_FALSE(run.sent);
    EXPECT_EQ(run.error, c.error);
    EXPECT_EQ(run.log->fault, "") << c.error;
    // A session that got as far as the greeting says goodbye.
    EXPECT_EQ(run.log->Sent("QUIT"), c.script.size() > 1) << c.error;
  }
}

TEST(SmtpSession, OneRecipientOfTwoIsEnough) {
  std::vector<Step> script = testing::GoodDialogue("250 mx\r\n", 2);
  script[4].text = "550 unknown\r\n";
  MailMessage message = Message();
  message.to.push_back(*ParseMailAddress(u"other@example.org"));
  const Outcome run = Talk(script, Options(false), message);
  EXPECT_TRUE(run.sent) << run.error;
}

TEST(SmtpSession, QuitUnansweredAfterAcceptanceStillCounts) {
  std::vector<Step> script = testing::GoodDialogue();
  script.back() = {"QUIT", "", Answer::Close};
  EXPECT_TRUE(Talk(script, Options(false)).sent);
}

TEST(SmtpSession, EarlyCloseAndEndlessOrSilentServersFail) {
  struct Case {
    Step ehlo;
    std::string error;
  };
  const Case cases[] = {
      {{"EHLO", "", Answer::Close}, "HELO failed (connection closed by the server)"},
      {{"EHLO", "", Answer::Silence}, "HELO failed (no reply in time)"},
      {{"EHLO", "250-mx\r\n", Answer::Endless}, "HELO failed (reply has too many lines)"},
      {{"EHLO", "250 ", Answer::HugeLine}, "HELO failed (reply line too long)"},
      {{"EHLO", "250-mx\r\n250-SIZE 1000\r\n250 8BITMIME\r\n", Answer::Drip},
       "HELO failed (no reply in time)"},
      {{"EHLO", "250 x\r\n", Answer::Drip}, ""},
  };
  for (const Case& c : cases) {
    std::vector<Step> script = testing::GoodDialogue();
    script[1] = c.ehlo;
    SmtpSessionOptions options = Options(false);
    options.timeout = std::chrono::seconds(7);
    const Outcome run = Talk(script, options);
    EXPECT_EQ(run.opened, c.error.empty()) << c.error;
    EXPECT_EQ(run.error, c.error);
    // Nothing more is said to a server that broke the dialogue.
    if (!c.error.empty()) {
      EXPECT_EQ(run.log->lines.size(), 1u) << c.error;
    }
  }
}

TEST(SmtpSession, ABrokenLineInTheMiddleOfTheMessageNeverEndsIt) {
  MailMessage message = Message();
  message.attachments = {{u"screenshot.png", test_data::RandomBytes(20000, 5)}};
  const std::size_t before = std::string(
                                 "EHLO crash-pc\r\nMAIL FROM:<support@example.org>\r\n"
                                 "RCPT TO:<support@example.org>\r\nDATA\r\n")
                                 .size();
  const Outcome run =
      Talk(testing::GoodDialogue(), Options(false), message, true, "", before + 5000);
  EXPECT_FALSE(run.sent);
  EXPECT_EQ(run.error, "Sending the message failed (connection lost while sending)");
  EXPECT_EQ(run.log->data, "") << "the final dot was sent";
  EXPECT_FALSE(run.log->Sent("RSET"));
}

TEST(SmtpSession, ReleasedWithoutAMessageSaysGoodbye) {
  auto log = std::make_shared<ServerLog>();
  {
    TSmtp session(std::make_unique<ScriptedServer>(std::vector<Step>{{"", "220 mx\r\n"},
                                                                     {"EHLO", "250 mx\r\n"},
                                                                     {"RSET", "250 ok\r\n"},
                                                                     {"QUIT", "221 bye\r\n"}},
                                                   log),
                  Options(false));
    ASSERT_TRUE(session.Open());
  }
  EXPECT_EQ(log->lines, (std::vector<std::string>{"EHLO crash-pc", "RSET", "QUIT"}));
  EXPECT_EQ(log->fault, "");
}

struct RecordingSink : ISendProgressSink {
  void SetAreas(const std::vector<SendAreaWeight>& a) override { areas = a; }
  void SetArea(int index) override { jumps.push_back(index); }
  void SetPosition(int perMille) override { positions.push_back(perMille); }
  std::vector<SendAreaWeight> areas;
  std::vector<int> jumps, positions;
};

TEST(SmtpSession, ProgressMovesAfterTheHeadAndEachAttachment) {
  MailMessage message = Message();
  message.attachments = {{u"a.txt", test_data::RandomBytes(600, 6)}, {u"b.png", {}}};
  RecordingSink sink;
  SendProgress progress(&sink);
  progress.Jump(2);
  auto log = std::make_shared<ServerLog>();
  TSmtp session(std::make_unique<ScriptedServer>(testing::GoodDialogue(), log), Options(false));
  ASSERT_TRUE(session.Open());
  ASSERT_TRUE(session.SendMessage(message, message.from, message.to, progress));
  EXPECT_EQ(sink.jumps, (std::vector<int>{2, 3, 4, 5}));
  // 600 bytes in pieces of 255: 255, 510, 600.
  EXPECT_EQ(sink.positions, (std::vector<int>{425, 850, 1000}));
}

}  // namespace
}  // namespace ostrel::delivery
