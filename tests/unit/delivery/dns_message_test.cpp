#include "crash/ui/delivery/dns_message.h"

#include <gtest/gtest.h>

#include "dns_replies.h"

namespace ostrel::delivery {
namespace {

using testing::DnsReplyWriter;
using testing::ReplyStart;

std::vector<std::string> Names(const DnsReply& reply) {
  std::vector<std::string> names;
  for (const DnsHost& h : reply.hosts) names.push_back(h.name);
  return names;
}

TEST(DnsQuery, TheDatagramForAnMxQuestion) {
  const auto query = BuildDnsQuery(0xBEEF, "mail.example.org.", DnsType::MX);
  ASSERT_TRUE(query);
  const std::vector<std::uint8_t> expected = {
      0xBE, 0xEF, 0x01, 0x00, 0,   1, 0,   0,   0,   0,   0,   0,  // id, RD, one question
      4,    'm',  'a',  'i',  'l', 7, 'e', 'x', 'a', 'm', 'p', 'l',
      'e',  3,    'o',  'r',  'g', 0, 0,   15,  0,   1};
  EXPECT_EQ(*query, expected);
  const auto ns = BuildDnsQuery(1, "example.org", DnsType::NS);
  EXPECT_EQ((*ns)[ns->size() - 3], 2);
}

TEST(DnsQuery, NamesAQueryCannotCarryAreRefused) {
  EXPECT_TRUE(EncodeDnsName(std::string(63, 'a') + ".org"));
  for (const std::string& bad :
       {std::string(""), std::string("."), std::string("a..b"), std::string(".a"),
        std::string(64, 'a') + ".org", std::string("with space.org"), std::string("caf\xc3\xa9.fr"),
        std::string("dot\x01.org")})
    EXPECT_FALSE(BuildDnsQuery(1, bad, DnsType::MX)) << bad;
  // 255 bytes in all at most: four labels of 63 fit (4 x 64 + 1 = 257 do not).
  std::string name = std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                     std::string(63, 'c') + "." + std::string(61, 'd');
  EXPECT_EQ(EncodeDnsName(name)->size(), 255u);
  EXPECT_FALSE(EncodeDnsName(name + "d"));
}

TEST(DnsReply, MxHostsByPreferenceThroughCompression) {
  const auto m = DnsReplyWriter(7, "example.org", DnsType::MX)
                     .Mx("example.org", 20, "backup.example.org")
                     .Mx("EXAMPLE.org", 5, "mx1.example.org")
                     .Mx("example.org", 10, "mx2.mail-host.net")
                     .Mx("example.org", 5, "mx0.example.org")
                     .Mx("example.org", 10, "MX1.example.org")
                     .Mx("other.org", 1, "elsewhere.net")
                     .Bytes();
  const DnsReply reply = ParseDnsReply(m, 7, "Example.Org.", DnsType::MX);
  ASSERT_EQ(reply.error, DnsError::None);
  // Equal preferences keep the answer's order; a name twice counts once;
  // another owner's record is not ours.
  EXPECT_EQ(Names(reply), (std::vector<std::string>{"mx1.example.org", "mx0.example.org",
                                                    "mx2.mail-host.net", "backup.example.org"}));
  EXPECT_EQ(reply.hosts[0].preference, 5);
  EXPECT_EQ(reply.hosts[3].preference, 20);
}

TEST(DnsReply, AliasesAndNameServers) {
  auto m = DnsReplyWriter(9, "example.org", DnsType::MX)
               .Cname("example.org", "hosted.example.net")
               .Mx("hosted.example.net", 10, "mx.example.net")
               .Bytes();
  EXPECT_EQ(Names(ParseDnsReply(m, 9, "example.org", DnsType::MX)),
            std::vector<std::string>{"mx.example.net"});
  m = DnsReplyWriter(9, "example.org", DnsType::NS)
          .Ns("example.org", "ns1.example.org", false)
          .Ns("org", "a0.org-servers.net", true)
          .Bytes();
  EXPECT_EQ(Names(ParseDnsReply(m, 9, "example.org", DnsType::NS)),
            (std::vector<std::string>{"ns1.example.org", "a0.org-servers.net"}));
  // The null MX: the domain takes no mail.
  m = DnsReplyWriter(9, "example.org", DnsType::MX).Mx("example.org", 0, "").Bytes();
  const DnsReply none = ParseDnsReply(m, 9, "example.org", DnsType::MX);
  EXPECT_EQ(none.error, DnsError::None);
  EXPECT_TRUE(none.hosts.empty());
}

TEST(DnsReply, OtherQueriesAndServerErrors) {
  const auto good =
      DnsReplyWriter(3, "example.org", DnsType::MX).Mx("example.org", 1, "mx.x").Bytes();
  EXPECT_EQ(ParseDnsReply(good, 4, "example.org", DnsType::MX).error, DnsError::IdMismatch);
  EXPECT_EQ(ParseDnsReply(good, 3, "example.com", DnsType::MX).error, DnsError::QuestionMismatch);
  EXPECT_EQ(ParseDnsReply(good, 3, "example.org", DnsType::NS).error, DnsError::QuestionMismatch);
  auto flagged = [&](std::uint16_t flags) {
    return ParseDnsReply(DnsReplyWriter(3, "example.org", DnsType::MX)
                             .Flags(flags)
                             .Mx("example.org", 1, "mx.x")
                             .Bytes(),
                         3, "example.org", DnsType::MX);
  };
  EXPECT_EQ(flagged(0x0100).error, DnsError::NotAReply);
  EXPECT_EQ(flagged(0x8900).error, DnsError::NotAReply);  // opcode 1
  EXPECT_EQ(flagged(0x8380).error, DnsError::CutShort);
  const DnsReply nx = flagged(0x8183);
  EXPECT_EQ(nx.error, DnsError::ServerError);
  EXPECT_EQ(nx.responseCode, 3);
  EXPECT_TRUE(nx.hosts.empty());
}

TEST(DnsReply, EveryTruncationIsRefusedCleanly) {
  const auto m = DnsReplyWriter(5, "example.org", DnsType::MX)
                     .Mx("example.org", 10, "mx1.example.org")
                     .Mx("example.org", 20, "mx2.other.net")
                     .Bytes();
  ASSERT_EQ(ParseDnsReply(m, 5, "example.org", DnsType::MX).hosts.size(), 2u);
  for (std::size_t size = 0; size < m.size(); ++size) {
    const DnsReply cut = ParseDnsReply(std::span(m).first(size), 5, "example.org", DnsType::MX);
    EXPECT_NE(cut.error, DnsError::None) << size;
    EXPECT_TRUE(cut.hosts.empty());
  }
}

// A reply whose one MX record's exchange is `data` (after the preference).
std::vector<std::uint8_t> MxWithExchange(const std::vector<std::uint8_t>& exchange) {
  std::vector<std::uint8_t> m = ReplyStart(1, "example.org", DnsType::MX, 1);
  const std::vector<std::uint8_t> record = {0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60};
  m.insert(m.end(), record.begin(), record.end());
  const std::size_t length = exchange.size() + 2;
  m.push_back(static_cast<std::uint8_t>(length >> 8));
  m.push_back(static_cast<std::uint8_t>(length));
  m.push_back(0);
  m.push_back(10);
  m.insert(m.end(), exchange.begin(), exchange.end());
  return m;
}

TEST(DnsReply, CompressionPointersThatLoopOrLeaveAreRefused) {
  // The exchange begins at 12 (header) + 17 (question) + 12 (owner
  // pointer, fixed fields, length) + 2 (preference) = 43.
  const std::size_t at = 43;
  ASSERT_EQ(MxWithExchange({}).size(), at);
  struct Case {
    std::vector<std::uint8_t> exchange;
    DnsError error;
  };
  const Case cases[] = {
      {{2, 'm', 'x', 0xC0, 12 + 8}, DnsError::None},  // "mx" + ".org" of the question
      {{0xC0, static_cast<std::uint8_t>(at)}, DnsError::PointerLoop},               // itself
      {{2, 'm', 'x', 0xC0, static_cast<std::uint8_t>(at)}, DnsError::PointerLoop},  // its start
      {{0xC0, static_cast<std::uint8_t>(at + 2), 0}, DnsError::PointerLoop},        // forward
      {{0xC0, 200}, DnsError::PointerOutside},
      {{0xFF, 0xFF}, DnsError::PointerOutside},
      {{0x40, 0}, DnsError::BadLabel},  // reserved label type
      {{0x80, 0}, DnsError::BadLabel},
      {{2, 'm', '.', 0}, DnsError::BadLabel},
      {{2, 'm', ' ', 0}, DnsError::BadLabel},
      {{2, 'm', 'x', 0, 0}, DnsError::BadRecord},  // data left over after the name
      {{2, 'm', 'x'}, DnsError::BadRecord},        // the name runs past the data
  };
  for (const Case& c : cases) {
    const DnsReply reply = ParseDnsReply(MxWithExchange(c.exchange), 1, "example.org", DnsType::MX);
    EXPECT_EQ(reply.error, c.error) << DnsErrorText(reply.error);
    if (c.error == DnsError::None) {
      EXPECT_EQ(Names(reply), std::vector<std::string>{"mx.org"});
    }
  }
  // Two pointers that point at each other: the earlier one's target lies
  // after it.
  std::vector<std::uint8_t> pair = MxWithExchange(
      {0xC0, static_cast<std::uint8_t>(at + 2), 0xC0, static_cast<std::uint8_t>(at)});
  EXPECT_EQ(ParseDnsReply(pair, 1, "example.org", DnsType::MX).error, DnsError::PointerLoop);
  // A pointer in the question.
  std::vector<std::uint8_t> question = ReplyStart(1, "example.org", DnsType::MX, 0);
  question[12] = 0xC0;
  question[13] = 12;
  EXPECT_EQ(ParseDnsReply(question, 1, "example.org", DnsType::MX).error, DnsError::PointerLoop);
}

TEST(DnsReply, LongChainsOfPointersStayWithinTheNameLimit) {
  // Each name is one label before a pointer to the previous name: legal
  // until the whole name passes 255 bytes.
  for (const int links : {50, 121, 122, 2000}) {
    std::vector<std::uint8_t> m = ReplyStart(1, "example.org", DnsType::MX, 1);
    std::size_t previous = 12;
    for (int i = 0; i < links; ++i) {
      const std::size_t here = m.size();
      m.insert(m.end(), {1, 'a', static_cast<std::uint8_t>(0xC0 | previous >> 8),
                         static_cast<std::uint8_t>(previous)});
      previous = here;
    }
    std::string name;
    std::size_t next = 0;
    const DnsError error = ReadDnsName(m, previous, name, next);
    // "example.org" takes 13 bytes, each link 2 more.
    if (13 + 2 * links <= 255) {
      EXPECT_EQ(error, DnsError::None) << links;
      EXPECT_EQ(name.size(), 11u + 2 * links);
      EXPECT_EQ(next, previous + 4);
    } else {
      EXPECT_EQ(error, DnsError::NameTooLong) << links;
    }
  }
}

TEST(DnsReply, NameComparison) {
  EXPECT_TRUE(SameDnsName("Example.ORG.", "example.org"));
  EXPECT_FALSE(SameDnsName("example.org", "example.or"));
  EXPECT_STREQ(DnsErrorText(DnsError::PointerLoop), "a compression pointer loops");
}

}  // namespace
}  // namespace ostrel::delivery
