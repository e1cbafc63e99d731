#pragma once
// The mail servers of an address's domain, asked of the system's name
// servers over UDP. The Win32 layer brings the socket and the list of
// name servers; tests bring scripted ones.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crash/ui/delivery/dns_message.h"

namespace ostrel::delivery {

using DnsClock = std::chrono::steady_clock;

class IDnsSocket {
 public:
  virtual ~IDnsSocket() = default;
  virtual bool Send(std::span<const std::uint8_t> datagram) = 0;
  // The next datagram from the server; nothing once `deadline` has passed
  // or the socket failed.
  virtual std::optional<std::vector<std::uint8_t>> Receive(DnsClock::time_point deadline) = 0;
  virtual DnsClock::time_point Now() const { return DnsClock::now(); }
};

class IDnsNetwork {
 public:
  virtual ~IDnsNetwork() = default;
  // The system's name servers, duplicates left out.
  virtual std::vector<std::string> NameServers() = 0;
  // A UDP socket to port 53 of `server`; nothing when it cannot be made.
  virtual std::unique_ptr<IDnsSocket> Open(const std::string& server) = 0;
  // An unpredictable identifier for each query, so that a reply cannot
  // easily be forged.
  virtual std::uint16_t NewQueryId() = 0;
};

// How long each server has to answer one query.
constexpr std::chrono::seconds kDnsWait{5};

// Asks each server in turn, until one answers with response code 0 and
// names; replies to other queries are passed over.
std::vector<DnsHost> QueryDns(IDnsNetwork& network, const std::vector<std::string>& servers,
                              std::string_view name, DnsType type);

// The last three labels of a domain (all of it when it has fewer).
std::string BaseDomain(std::string_view domain);

// The mail servers of the address's domain, best preference first: an MX
// query for the domain, then, when that names none, for its base domain.
// Empty when there are no name servers or nobody names one.
std::vector<std::string> LookupMailServers(IDnsNetwork& network, std::u16string_view address);
// The best of them, or empty.
std::string LookupMailServer(IDnsNetwork& network, std::u16string_view address);

}  // namespace ostrel::delivery
