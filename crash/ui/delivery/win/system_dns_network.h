#pragma once
// The DNS lookup's network on Windows: the system's name servers (from the
// IP helper, else from the TCP/IP parameters in the registry), connected
// UDP sockets to them, and query identifiers from the system's random
// number generator.

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crash/ui/delivery/mx_lookup.h"

namespace ostrel::delivery {

class TSystemDnsNetwork : public IDnsNetwork {
 public:
  // Starts Winsock and finds the random number generator.
  TSystemDnsNetwork();
  ~TSystemDnsNetwork() override;
  TSystemDnsNetwork(const TSystemDnsNetwork&) = delete;
  TSystemDnsNetwork& operator=(const TSystemDnsNetwork&) = delete;

  std::vector<std::string> NameServers() override;
  // `server` is a numeric IPv4 or IPv6 address.
  std::unique_ptr<IDnsSocket> Open(const std::string& server) override;
  std::uint16_t NewQueryId() override;

 private:
  using GenRandom = BOOLEAN(WINAPI*)(void*, ULONG);
  using BCryptRandom = LONG(WINAPI*)(void*, unsigned char*, ULONG, ULONG);

  bool started_ = false;
  HMODULE advapi_ = nullptr, bcrypt_ = nullptr;
  GenRandom genRandom_ = nullptr;
  BCryptRandom bcryptRandom_ = nullptr;
  std::uint32_t fallbackCount_ = 0;
};

// The name servers of a registry value's text: split at "," or blanks,
// appended to `servers` when not there yet.
void AddNameServers(const std::u16string& text, std::vector<std::string>& servers);

}  // namespace ostrel::delivery
