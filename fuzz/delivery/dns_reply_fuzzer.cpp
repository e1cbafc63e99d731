// libFuzzer target: a DNS reply as any datagram may bring it. Reading must
// end and stay inside the message; what it accepts are host names a query
// can carry, in preference order. Every name in the message is read too.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "crash/ui/delivery/dns_message.h"

namespace {

using namespace ostrel::delivery;

void Trap(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> message(data, size);
  // The identifier of the message itself, so that the rest gets read.
  const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : 0;
  for (const DnsType type : {DnsType::MX, DnsType::NS}) {
    const DnsReply reply = ParseDnsReply(message, id, "example.org", type);
    Trap(reply.error == DnsError::None || reply.hosts.empty());
    for (std::size_t i = 0; i < reply.hosts.size(); ++i) {
      const std::string& name = reply.hosts[i].name;
      if (i > 0) Trap(reply.hosts[i - 1].preference <= reply.hosts[i].preference);
      // An accepted name goes into a query and reads back the same.
      const auto encoded = EncodeDnsName(name);
      Trap(encoded.has_value());
      std::string back;
      std::size_t next = 0;
      Trap(ReadDnsName(*encoded, 0, back, next) == DnsError::None);
      Trap(back == name && next == encoded->size());
    }
  }
  for (std::size_t offset = 12; offset < size && offset < 512; ++offset) {
    std::string name;
    std::size_t next = 0;
    if (ReadDnsName(message, offset, name, next) == DnsError::None) {
      Trap(name.size() <= 254 && next > offset && next <= size);
    }
  }
  return 0;
}
