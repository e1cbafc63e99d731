#pragma once
// Name servers that answer from a table, for the lookup's tests: every
// query is recorded, and each server's answer is made from the query.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "crash/ui/delivery/mx_lookup.h"

namespace ostrel::delivery::testing {

struct DnsQuestion {
  std::string server;
  std::uint16_t id;
  std::string name;
  std::uint16_t type;
};

// The datagrams a server sends back for a query (its identifier and name).
using DnsResponder = std::function<std::vector<std::vector<std::uint8_t>>(const DnsQuestion&)>;

class ScriptedDns : public IDnsNetwork {
 public:
  explicit ScriptedDns(std::vector<std::string> servers) : servers_(std::move(servers)) {}
  // Servers without a responder never answer.
  void Answer(const std::string& server, DnsResponder responder) {
    responders_[server] = responder;
  }
  std::vector<std::string> NameServers() override { return servers_; }
  std::unique_ptr<IDnsSocket> Open(const std::string& server) override;
  std::uint16_t NewQueryId() override { return nextId_++; }

  std::vector<DnsQuestion> questions;

 private:
  std::vector<std::string> servers_;
  std::map<std::string, DnsResponder> responders_;
  std::uint16_t nextId_ = 0x4A00;
};

// A responder with MX records per domain (no record: an empty answer).
DnsResponder MxTable(std::map<std::string, std::vector<std::pair<int, std::string>>> table);

}  // namespace ostrel::delivery::testing
