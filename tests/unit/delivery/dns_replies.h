#pragma once
// DNS replies for the tests, written as a server writes them: names
// compressed against the ones before, records in sections.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "crash/ui/delivery/dns_message.h"

namespace ostrel::delivery::testing {

class DnsReplyWriter {
 public:
  DnsReplyWriter(std::uint16_t id, std::string question, DnsType type);
  DnsReplyWriter& Flags(std::uint16_t flags);
  DnsReplyWriter& Mx(const std::string& owner, std::uint16_t preference, const std::string& host);
  DnsReplyWriter& Cname(const std::string& owner, const std::string& target);
  DnsReplyWriter& Ns(const std::string& owner, const std::string& host, bool authority);
  // A record of any type with its data as given, in the answer section.
  DnsReplyWriter& Raw(const std::string& owner, std::uint16_t type, std::vector<std::uint8_t> data);
  std::vector<std::uint8_t> Bytes() const;

 private:
  struct Record {
    std::string owner;
    std::uint16_t type;
    std::uint16_t preference;  // MX only
    std::string target;        // MX, CNAME, NS
    std::vector<std::uint8_t> raw;
  };
  std::uint16_t id_, flags_ = 0x8180;
  std::string question_;
  DnsType type_;
  std::vector<Record> answers_, authority_;
};

// The header and question of a reply, for messages built by hand.
std::vector<std::uint8_t> ReplyStart(std::uint16_t id, const std::string& question, DnsType type,
                                     std::uint16_t answers);

}  // namespace ostrel::delivery::testing
