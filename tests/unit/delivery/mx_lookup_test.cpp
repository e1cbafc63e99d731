#include "crash/ui/delivery/mx_lookup.h"

#include <gtest/gtest.h>

#include "dns_replies.h"
#include "scripted_dns.h"

namespace ostrel::delivery {
namespace {

using testing::DnsQuestion;
using testing::DnsReplyWriter;
using testing::MxTable;
using testing::ScriptedDns;

using Datagrams = std::vector<std::vector<std::uint8_t>>;

TEST(BaseDomain, TheLastThreeLabels) {
  EXPECT_EQ(BaseDomain("a.b.example.co.uk"), "example.co.uk");
  EXPECT_EQ(BaseDomain("mail.example.org"), "mail.example.org");
  EXPECT_EQ(BaseDomain("example.org."), "example.org");
  EXPECT_EQ(BaseDomain("localhost"), "localhost");
  EXPECT_EQ(BaseDomain(""), "");
}

TEST(MxLookup, BestPreferenceFirst) {
  ScriptedDns dns({"10.0.0.1"});
  dns.Answer("10.0.0.1",
             MxTable({{"example.org", {{20, "b.example.org"}, {10, "a.example.org"}}}}));
  EXPECT_EQ(LookupMailServers(dns, u"Support <support@example.org>"),
            (std::vector<std::string>{"a.example.org", "b.example.org"}));
  EXPECT_EQ(LookupMailServer(dns, u"support@example.org"), "a.example.org");
  EXPECT_EQ(LookupMailServer(dns, u"support@example.com"), "");
  ASSERT_EQ(dns.questions.size(), 3u);
  EXPECT_EQ(dns.questions[0].name, "example.org");
  EXPECT_EQ(dns.questions[0].type, 15);
}

TEST(MxLookup, FourLabelsAskTheDomainThenTheLastThree) {
  ScriptedDns dns({"10.0.0.1"});
  dns.Answer("10.0.0.1", MxTable({{"example.co.uk", {{5, "mx.example.co.uk"}}}}));
  EXPECT_EQ(LookupMailServers(dns, u"ann@dept.example.co.uk"),
            std::vector<std::string>{"mx.example.co.uk"});
  ASSERT_EQ(dns.questions.size(), 2u);
  EXPECT_EQ(dns.questions[0].name, "dept.example.co.uk");
  EXPECT_EQ(dns.questions[1].name, "example.co.uk");
  // Each query has its own identifier.
  EXPECT_NE(dns.questions[0].id, dns.questions[1].id);
}

TEST(MxLookup, ServersInTurnUntilOneNamesHosts) {
  ScriptedDns dns({"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"});
  // The first never answers, the second fails, the third answers another
  // query first and then empty-handed; the fourth knows.
  dns.Answer("10.0.0.2", [](const DnsQuestion& q) {
    return Datagrams{DnsReplyWriter(q.id, q.name, DnsType::MX).Flags(0x8182).Bytes()};
  });
  dns.Answer("10.0.0.3", [](const DnsQuestion& q) {
    return Datagrams{
        DnsReplyWriter(q.id + 1, q.name, DnsType::MX).Mx(q.name, 1, "forged.example").Bytes(),
        DnsReplyWriter(q.id, "other.org", DnsType::MX).Mx("other.org", 1, "forged.example").Bytes(),
        DnsReplyWriter(q.id, q.name, DnsType::MX).Bytes()};
  });
  dns.Answer("10.0.0.4", MxTable({{"example.org", {{1, "mx.example.org"}}}}));
  EXPECT_EQ(LookupMailServers(dns, u"a@example.org"), std::vector<std::string>{"mx.example.org"});
  ASSERT_EQ(dns.questions.size(), 4u);
  EXPECT_EQ(dns.questions[3].server, "10.0.0.4");
}

TEST(MxLookup, AFloodOfOtherRepliesEndsTheWait) {
  ScriptedDns dns({"10.0.0.1", "10.0.0.2"});
  dns.Answer("10.0.0.1", [](const DnsQuestion& q) {
    return Datagrams(10000, DnsReplyWriter(q.id ^ 1, q.name, DnsType::MX).Bytes());
  });
  dns.Answer("10.0.0.2", MxTable({{"example.org", {{1, "mx.example.org"}}}}));
  EXPECT_EQ(LookupMailServers(dns, u"a@example.org"), std::vector<std::string>{"mx.example.org"});
}

TEST(MxLookup, NothingToAskOrNothingFound) {
  ScriptedDns none({});
  EXPECT_TRUE(LookupMailServers(none, u"a@example.org").empty());
  EXPECT_TRUE(none.questions.empty());
  ScriptedDns dns({"10.0.0.1"});
  dns.Answer("10.0.0.1", MxTable({}));
  EXPECT_TRUE(LookupMailServers(dns, u"no-domain").empty());
  EXPECT_TRUE(LookupMailServers(dns, u"a@caf\u00e9.fr").empty());
  EXPECT_TRUE(dns.questions.empty());
  EXPECT_TRUE(LookupMailServers(dns, u"a@example.org").empty());
  EXPECT_EQ(dns.questions.size(), 1u) << "example.org is its own base domain";
}

TEST(MxLookup, QueryDnsForNameServers) {
  ScriptedDns dns({"10.0.0.1"});
  dns.Answer("10.0.0.1", [](const DnsQuestion& q) {
    return Datagrams{DnsReplyWriter(q.id, q.name, DnsType::NS)
                         .Ns(q.name, "ns1.example.org", false)
                         .Ns("org", "a0.org.afilias-nst.info", true)
                         .Bytes()};
  });
  const std::vector<DnsHost> hosts = QueryDns(dns, dns.NameServers(), "example.org", DnsType::NS);
  ASSERT_EQ(hosts.size(), 2u);
  EXPECT_EQ(hosts[1].name, "a0.org.afilias-nst.info");
  EXPECT_EQ(dns.questions.at(0).type, 2);
}

}  // namespace
}  // namespace ostrel::delivery
