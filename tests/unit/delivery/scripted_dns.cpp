#include "scripted_dns.h"

#include "dns_replies.h"

namespace ostrel::delivery::testing {

namespace {

class ScriptedSocket : public IDnsSocket {
 public:
  ScriptedSocket(ScriptedDns& dns, std::string server, DnsResponder responder)
      : dns_(dns), server_(std::move(server)), responder_(std::move(responder)) {}

  bool Send(std::span<const std::uint8_t> datagram) override {
    // The question as a server reads it: identifier, name, type.
    DnsQuestion q{server_, static_cast<std::uint16_t>(datagram[0] << 8 | datagram[1]), "", 0};
    std::size_t next = 0;
    if (ReadDnsName(datagram, 12, q.name, next) != DnsError::None) return false;
    if (datagram.size() < next + 4) return false;
    q.type = static_cast<std::uint16_t>(datagram[next] << 8 | datagram[next + 1]);
    dns_.questions.push_back(q);
    if (responder_) queue_ = responder_(q);
    return true;
  }

  std::optional<std::vector<std::uint8_t>> Receive(DnsClock::time_point deadline) override {
    if (queue_.empty()) {
      now_ = deadline;
      return std::nullopt;
    }
    std::vector<std::uint8_t> next = std::move(queue_.front());
    queue_.erase(queue_.begin());
    return next;
  }

  DnsClock::time_point Now() const override { return now_; }

 private:
  ScriptedDns& dns_;
  std::string server_;
  DnsResponder responder_;
  std::vector<std::vector<std::uint8_t>> queue_;
  DnsClock::time_point now_{};
};

}  // namespace

std::unique_ptr<IDnsSocket> ScriptedDns::Open(const std::string& server) {
  const auto found = responders_.find(server);
  return std::make_unique<ScriptedSocket>(
      *this, server, found == responders_.end() ? DnsResponder() : found->second);
}

DnsResponder MxTable(std::map<std::string, std::vector<std::pair<int, std::string>>> table) {
  return [table](const DnsQuestion& q) {
    DnsReplyWriter reply(q.id, q.name, DnsType::MX);
    const auto found = table.find(q.name);
    if (found != table.end())
      for (const auto& [preference, host] : found->second)
        reply.Mx(q.name, static_cast<std::uint16_t>(preference), host);
    return std::vector<std::vector<std::uint8_t>>{reply.Bytes()};
  };
}

}  // namespace ostrel::delivery::testing
