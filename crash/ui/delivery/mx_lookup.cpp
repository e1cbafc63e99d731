#include "crash/ui/delivery/mx_lookup.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/mail_address.h"

namespace ostrel::delivery {

namespace {

// A server that keeps sending replies to other queries gets no more than
// these looks before the next one is asked.
constexpr int kDatagramsPerServer = 64;

std::optional<std::vector<DnsHost>> AskServer(IDnsNetwork& network, const std::string& server,
                                              std::string_view name, DnsType type) {
  const std::uint16_t id = network.NewQueryId();
  const std::optional<std::vector<std::uint8_t>> query = BuildDnsQuery(id, name, type);
  std::unique_ptr<IDnsSocket> socket = query ? network.Open(server) : nullptr;
  if (!socket || !socket->Send(*query)) return std::nullopt;
  const DnsClock::time_point deadline = socket->Now() + kDnsWait;
  for (int look = 0; look < kDatagramsPerServer; ++look) {
    const std::optional<std::vector<std::uint8_t>> datagram = socket->Receive(deadline);
    if (!datagram) break;
    const DnsReply reply = ParseDnsReply(*datagram, id, name, type);
    if (reply.error == DnsError::IdMismatch || reply.error == DnsError::QuestionMismatch ||
        reply.error == DnsError::NotAReply)
      continue;
    if (reply.error == DnsError::None && !reply.hosts.empty()) return reply.hosts;
    break;
  }
  return std::nullopt;
}

}  // namespace

std::vector<DnsHost> QueryDns(IDnsNetwork& network, const std::vector<std::string>& servers,
                              std::string_view name, DnsType type) {
  for (const std::string& server : servers)
    if (std::optional<std::vector<DnsHost>> hosts = AskServer(network, server, name, type))
      return *hosts;
  return {};
}

std::string BaseDomain(std::string_view domain) {
  if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  std::size_t start = domain.size();
  for (int dots = 0; dots < 3; ++dots) {
    const std::size_t dot = start == 0 ? std::string_view::npos : domain.rfind('.', start - 1);
    if (dot == std::string_view::npos) return std::string(domain);
    start = dot;
  }
  return std::string(domain.substr(start + 1));
}

std::vector<std::string> LookupMailServers(IDnsNetwork& network, std::u16string_view address) {
  const std::string domain = Utf16ToUtf8(AddressDomain(address));
  const std::vector<std::string> servers = network.NameServers();
  if (domain.empty() || servers.empty()) return {};
  std::vector<DnsHost> hosts = QueryDns(network, servers, domain, DnsType::MX);
  const std::string base = BaseDomain(domain);
  if (hosts.empty() && !SameDnsName(base, domain))
    hosts = QueryDns(network, servers, base, DnsType::MX);
  std::vector<std::string> names;
  for (DnsHost& host : hosts) names.push_back(std::move(host.name));
  return names;
}

std::string LookupMailServer(IDnsNetwork& network, std::u16string_view address) {
  std::vector<std::string> servers = LookupMailServers(network, address);
  return servers.empty() ? std::string() : std::move(servers.front());
}

}  // namespace ostrel::delivery
