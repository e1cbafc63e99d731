#pragma once
// DNS messages for the mail server lookup: the query datagram, and the
// reply read into the host names it names. Replies are read with care:
// every length is checked against the message, and a compression pointer
// must point to a name that begins before the one it continues, so that
// no pointer chain can loop or leave the message.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::delivery {

enum class DnsType : std::uint16_t { NS = 2, CNAME = 5, MX = 15 };

// The name in label form; empty when it is not a name a query can carry
// (an empty label, a label over 63 bytes, more than 255 bytes in all, or a
// byte other than printable ASCII). A final "." is allowed.
std::optional<std::vector<std::uint8_t>> EncodeDnsName(std::string_view name);

// Identifier, only the recursion-desired flag, one question of class 1.
std::optional<std::vector<std::uint8_t>> BuildDnsQuery(std::uint16_t id, std::string_view name,
                                                       DnsType type);

enum class DnsError {
  None,
  Truncated,         // a length or count runs past the message's end
  NotAReply,         // no response flag, or not a standard query
  IdMismatch,        // an answer to another query
  QuestionMismatch,  // a question other than ours
  CutShort,          // the server's truncation flag
  ServerError,       // a response code other than 0
  PointerOutside,    // a compression pointer past the message's end
  PointerLoop,       // a compression pointer to its own name or later
  BadLabel,          // a reserved label type, or a byte a host name cannot hold
  NameTooLong,       // more than 255 bytes
  BadRecord,         // record data that does not hold what its type says
};
const char* DnsErrorText(DnsError error);

struct DnsHost {
  std::uint16_t preference = 0;  // 0 for name servers
  std::string name;              // without a final "."
};

struct DnsReply {
  DnsError error = DnsError::None;
  int responseCode = 0;
  // MX: the exchanges of the name (through its CNAME records), by
  // preference; NS: the servers of the answer and authority sections, in
  // their order. Duplicates and the null MX (".") left out.
  std::vector<DnsHost> hosts;
};

// The reply to the query BuildDnsQuery(id, name, type) made.
DnsReply ParseDnsReply(std::span<const std::uint8_t> message, std::uint16_t id,
                       std::string_view name, DnsType type);

// Reads the name at `offset`; `next` is the offset after its bytes there.
// Exposed for the fuzzer and the tests.
DnsError ReadDnsName(std::span<const std::uint8_t> message, std::size_t offset, std::string& name,
                     std::size_t& next);

bool SameDnsName(std::string_view a, std::string_view b);

}  // namespace ostrel::delivery
