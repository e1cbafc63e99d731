#include "crash/ui/delivery/smtp_mail.h"

#include <gtest/gtest.h>

#include "crash/ui/delivery/mail_date.h"
#include "mime_reading.h"
#include "scripted_dns.h"
#include "scripted_server.h"

namespace ostrel::delivery {
namespace {

using testing::GoodDialogue;
using testing::MxTable;
using testing::ScriptedDns;
using testing::ScriptedNetwork;

SmtpJob Job() {
  SmtpJob job;
  job.sender = u"Ostrel <support@example.org>";
  job.recipients = u"support@example.org";
  job.subject = u"bug report";
  job.body = u"please find the bug report attached";
  job.attachments = {{u"bugreport.txt", {'r', 'e', 'p', 'o', 'r', 't'}}};
  job.server = u"smtp.example.org";
  job.fileTime = FileTimeOfDateTime({2024, 3, 7, 9, 5, 3});
  return job;
}

// The message as the server received it.
testing::MimeEntity Received(const ScriptedNetwork::Connection& c) {
  return testing::ReadEntity(testing::RemoveDots(c.log->data).value_or("<no final dot>"));
}

TEST(SmtpPort, ChosenByEncryptionAndAccount) {
  EXPECT_EQ(SmtpPort(2525, true, true, true), 2525);
  EXPECT_EQ(SmtpPort(0, true, false, false), 465);
  EXPECT_EQ(SmtpPort(0, true, true, true), 465);
  EXPECT_EQ(SmtpPort(0, false, true, true), 587);
  EXPECT_EQ(SmtpPort(0, false, true, false), 25);
  EXPECT_EQ(SmtpPort(0, false, false, true), 25);
}

TEST(SmtpMail, ThroughTheServerOneMessageToAll) {
  ScriptedNetwork network;
  network.Serve("smtp.example.org", GoodDialogue("250 mx\r\n", 2));
  SmtpJob job = Job();
  job.recipients = u"first@example.org; Second <second@example.net>";
  job.sender = u"";
  job.tls = false;
  job.account = u"ann";
  std::string error;
  ASSERT_TRUE(SendSmtpMail(job, SmtpTuning(), network, nullptr, nullptr, error)) << error;
  ASSERT_EQ(network.connections.size(), 1u);
  const ScriptedNetwork::Connection& c = network.connections[0];
  EXPECT_EQ(c.port, 25);
  EXPECT_FALSE(c.ssl);
  EXPECT_EQ(c.log->lines,
            (std::vector<std::string>{"EHLO Crash-PC", "MAIL FROM:<first@example.org>",
                                      "RCPT TO:<first@example.org>", "RCPT TO:<second@example.net>",
                                      "DATA", "QUIT"}));
  const testing::MimeEntity message = Received(c);
  EXPECT_EQ(message.Header("To"), "<first@example.org>, Second <second@example.net>");
  // An empty sender is the first recipient, and the reply goes to it.
  EXPECT_EQ(message.Header("From"), "<first@example.org>");
  EXPECT_EQ(message.Header("Reply-To"), "<first@example.org>");
}

TEST(SmtpMail, OverridesAndPorts) {
  ScriptedNetwork network;
  network.Serve("smtp.example.org", GoodDialogue());
  SmtpTuning tuning;
  tuning.senderOverride = u"Crash Desk <desk@example.com>";
  tuning.replyToOverride = u"user@example.net";
  tuning.heloName = "reporter.example.com";
  SmtpJob job = Job();
  job.replyTo = u"ignored@example.org";
  job.ssl = true;
  std::string error;
  ASSERT_TRUE(SendSmtpMail(job, tuning, network, nullptr, nullptr, error)) << error;
  const ScriptedNetwork::Connection& c = network.connections.at(0);
  EXPECT_EQ(c.port, 465);
  EXPECT_TRUE(c.ssl);
  EXPECT_EQ(c.log->lines.at(0), "EHLO reporter.example.com");
  EXPECT_EQ(c.log->lines.at(1), "MAIL FROM:<desk@example.com>");
  EXPECT_EQ(Received(c).Header("From"), "Crash Desk <desk@example.com>");
  EXPECT_EQ(Received(c).Header("Reply-To"), "<user@example.net>");
}

TEST(SmtpMail, BadAddressesAreRefusedBeforeConnecting) {
  ScriptedNetwork network;
  network.Serve("smtp.example.org", GoodDialogue());
  struct Case {
    std::u16string recipients, sender, replyTo;
    std::string error;
  };
  const Case cases[] = {
      {u"", u"", u"", "No recipient"},
      {u" ; , ", u"", u"", "No recipient"},
      {u"ok@example.org, bad address@example.org", u"", u"",
       "Bad recipient address (bad address@example.org)"},
      {u"ok@example.org", u"Desk <desk@ex\r\nample.org>", u"",
       "Bad sender address (Desk <desk@ex\r\nample.org>)"},
      {u"ok@example.org", u"", u"<>", "Bad reply-to address (<>)"},
  };
  for (const Case& c : cases) {
    SmtpJob job = Job();
    job.recipients = c.recipients;
    job.sender = c.sender;
    job.replyTo = c.replyTo;
    std::string error;
    EXPECT_FALSE(SendSmtpMail(job, SmtpTuning(), network, nullptr, nullptr, error));
    EXPECT_EQ(error, c.error);
  }
  EXPECT_TRUE(network.connections.empty());
}

TEST(SmtpMail, UnreachableServerFails) {
  ScriptedNetwork network;
  std::string error;
  EXPECT_FALSE(SendSmtpMail(Job(), SmtpTuning(), network, nullptr, nullptr, error));
  EXPECT_EQ(error, "No connection to server");
}

TEST(SmtpMail, DirectDeliveryOneMessagePerRecipientToItsDomain) {
  ScriptedDns dns({"192.0.2.53"});
  dns.Answer("192.0.2.53",
             MxTable({{"example.org", {{10, "mx.example.org"}}},
                      {"example.net", {{5, "down.example.net"}, {10, "mx2.example.net"}}}}));
  ScriptedNetwork network;
  network.Serve("mx.example.org", GoodDialogue());
  network.Serve("mx2.example.net", GoodDialogue());
  SmtpJob job = Job();
  job.server.clear();
  job.recipients = u"ann@example.org, Bob <bob@example.net>";
  job.account = u"never used";
  job.tls = true;
  std::string error;
  ASSERT_TRUE(SendSmtpMail(job, SmtpTuning(), network, &dns, nullptr, error)) << error;
  ASSERT_EQ(network.connections.size(), 2u) << "the unreachable exchange is not counted";
  EXPECT_EQ(network.connections[0].server, "mx.example.org");
  EXPECT_EQ(network.connections[1].server, "mx2.example.net");
  for (const auto& c : network.connections) {
    EXPECT_EQ(c.port, 25);
    EXPECT_FALSE(c.ssl);
    EXPECT_FALSE(c.log->Sent("AUTH"));
    EXPECT_FALSE(c.log->Sent("STARTTLS"));
  }
  EXPECT_EQ(network.connections[0].log->lines.at(2), "RCPT TO:<ann@example.org>");
  EXPECT_EQ(Received(network.connections[1]).Header("To"), "Bob <bob@example.net>");
}

TEST(SmtpMail, DirectDeliveryGoodWhenAnyRecipientWasServed) {
  ScriptedDns dns({"192.0.2.53"});
  dns.Answer("192.0.2.53", MxTable({{"example.net", {{1, "mx.example.net"}}}}));
  ScriptedNetwork network;
  network.Serve("mx.example.net", GoodDialogue());
  SmtpJob job = Job();
  job.server.clear();
  job.recipients = u"ann@nowhere.example, bob@example.net";
  std::string error;
  EXPECT_TRUE(SendSmtpMail(job, SmtpTuning(), network, &dns, nullptr, error));
  EXPECT_EQ(error, "No mail server for ann@nowhere.example");

  job.recipients = u"ann@nowhere.example";
  EXPECT_FALSE(SendSmtpMail(job, SmtpTuning(), network, &dns, nullptr, error));
  ScriptedDns silent({});
  job.recipients = u"bob@example.net";
  EXPECT_FALSE(SendSmtpMail(job, SmtpTuning(), network, &silent, nullptr, error));
  EXPECT_EQ(error, "No mail server for bob@example.net");
}

TEST(SmtpMail, ARefusingExchangeIsNotRetriedElsewhere) {
  ScriptedDns dns({"192.0.2.53"});
  dns.Answer("192.0.2.53",
             MxTable({{"example.net", {{1, "mx1.example.net"}, {2, "mx2.example.net"}}}}));
  ScriptedNetwork network;
  network.Serve("mx1.example.net", {{"", "220 mx1\r\n"},
                                    {"EHLO", "250 mx1\r\n"},
                                    {"MAIL FROM", "550 go away\r\n"},
                                    {"RSET", "250 ok\r\n"},
                                    {"QUIT", "221 bye\r\n"}});
  network.Serve("mx2.example.net", GoodDialogue());
  SmtpJob job = Job();
  job.server.clear();
  job.recipients = u"bob@example.net";
  std::string error;
  EXPECT_FALSE(SendSmtpMail(job, SmtpTuning(), network, &dns, nullptr, error));
  EXPECT_EQ(error, "MAIL FROM failed (550 go away)");
  EXPECT_EQ(network.connections.size(), 1u);
}

struct Areas : ISendProgressSink {
  void SetAreas(const std::vector<SendAreaWeight>& a) override { areas = a; }
  void SetArea(int index) override { jumps.push_back(index); }
  void SetPosition(int) override {}
  std::vector<SendAreaWeight> areas;
  std::vector<int> jumps;
};

TEST(SmtpMail, ProgressAreas) {
  const std::uint64_t sizes[] = {1600, 32};
  const std::vector<SendAreaWeight> server = SmtpSendAreas(false, 3, sizes);
  const std::vector<SendAreaWeight> expected = {
      {SendArea::PrepAttMsg, 500}, {SendArea::ConnMsg, 500},  {SendArea::SendMailMsg, 100},
      {SendArea::SendAttMsg, 100}, {SendArea::SendAttMsg, 2}, {SendArea::SendFinalMsg, 1000}};
  ASSERT_EQ(server.size(), expected.size());
  for (std::size_t i = 0; i < server.size(); ++i) {
    EXPECT_EQ(server[i].area, expected[i].area) << i;
    EXPECT_EQ(server[i].weight, expected[i].weight) << i;
  }
  const std::vector<SendAreaWeight> direct = SmtpSendAreas(true, 2, sizes);
  ASSERT_EQ(direct.size(), 1u + 2 * 6);
  EXPECT_EQ(direct[1].area, SendArea::MxLookMsg);
  EXPECT_EQ(direct[2].weight, 500u);
  EXPECT_EQ(direct[7].area, SendArea::MxLookMsg);
  EXPECT_EQ(direct[8].area, SendArea::ConnMsg);
  EXPECT_EQ(direct[8].weight, 5000u);

  // Direct delivery to two: each recipient's areas in turn, all done at
  // the end.
  ScriptedDns dns({"192.0.2.53"});
  dns.Answer("192.0.2.53", MxTable({{"example.org", {{1, "mx.example.org"}}}}));
  ScriptedNetwork network;
  network.Serve("mx.example.org", GoodDialogue());
  SmtpJob job = Job();
  job.server.clear();
  job.recipients = u"a@example.org, b@nowhere.example";
  Areas sink;
  std::string error;
  ASSERT_TRUE(SendSmtpMail(job, SmtpTuning(), network, &dns, &sink, error));
  ASSERT_EQ(sink.areas.size(), 11u);
  EXPECT_EQ(sink.jumps, (std::vector<int>{1, 1, 2, 3, 4, 5, 6, 7, 11}));
}

}  // namespace
}  // namespace ostrel::delivery
