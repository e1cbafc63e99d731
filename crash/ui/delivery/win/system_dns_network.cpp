#include "crash/ui/delivery/win/net_library.h"
#include "crash/ui/delivery/win/system_dns_network.h"

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "crash/base/utf.h"
#include "crash/ui/delivery/win/socket_wait.h"

namespace ostrel::delivery {

namespace {

// Larger than any UDP datagram, so that none comes cut.
constexpr std::size_t kDatagramRoom = 65536;
// A list of name servers longer than this is not the system's.
constexpr int kMostServers = 64;

void AddServer(std::string server, std::vector<std::string>& servers) {
  if (server.empty() || servers.size() >= kMostServers) return;
  if (std::find(servers.begin(), servers.end(), server) == servers.end())
    servers.push_back(std::move(server));
}

// The DNS servers GetNetworkParams lists; IpHlpApi is loaded by name, as
// a system may lack it.
std::vector<std::string> HelperNameServers() {
  std::vector<std::string> servers;
  HMODULE library = LoadLibraryW(L"IpHlpApi.dll");
  if (!library) return servers;
  using GetParams = DWORD(WINAPI*)(PFIXED_INFO, PULONG);
  const auto getParams = reinterpret_cast<GetParams>(
      reinterpret_cast<void*>(GetProcAddress(library, "GetNetworkParams")));
  if (getParams) {
    ULONG size = sizeof(FIXED_INFO);
    std::vector<unsigned char> buffer;
    DWORD result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the calls; a few tries are enough.
    for (int tries = 0; tries < 4 && result == ERROR_BUFFER_OVERFLOW; ++tries) {
      if (size < sizeof(FIXED_INFO) || size > 1024 * 1024) break;
      buffer.assign(size, 0);
      result = getParams(reinterpret_cast<PFIXED_INFO>(buffer.data()), &size);
    }
    if (result == ERROR_SUCCESS) {
      const auto* info = reinterpret_cast<const FIXED_INFO*>(buffer.data());
      int seen = 0;
      for (const IP_ADDR_STRING* a = &info->DnsServerList; a && seen < kMostServers;
           a = a->Next, ++seen) {
        const char* text = a->IpAddress.String;
        AddServer(std::string(text, strnlen(text, sizeof a->IpAddress.String)), servers);
      }
    }
  }
  FreeLibrary(library);
  return servers;
}

std::u16string RegistryText(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > 64 * 1024)
    return std::u16string();
  std::u16string text(size / sizeof(char16_t) + 1, u'\0');
  DWORD got = static_cast<DWORD>((text.size() - 1) * sizeof(char16_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got) !=
      ERROR_SUCCESS)
    return std::u16string();
  text.resize(std::min<std::size_t>(got / sizeof(char16_t), text.size()));
  // Registry strings need not end in a NUL, and may hold one early.
  const std::size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  return text;
}

std::vector<std::string> RegistryNameServers() {
  std::vector<std::string> servers;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                    0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return servers;
  // Servers set by hand take the place of those DHCP gave, as in the system.
  AddNameServers(RegistryText(key, L"NameServer"), servers);
  if (servers.empty()) AddNameServers(RegistryText(key, L"DhcpNameServer"), servers);
  RegCloseKey(key);
  return servers;
}

class TUdpDnsSocket : public IDnsSocket {
 public:
  explicit TUdpDnsSocket(SOCKET socket) : socket_(socket) {}
  ~TUdpDnsSocket() override { net::closesocket(socket_); }
  TUdpDnsSocket(const TUdpDnsSocket&) = delete;
  TUdpDnsSocket& operator=(const TUdpDnsSocket&) = delete;

  bool Send(std::span<const std::uint8_t> datagram) override {
    if (failed_ || datagram.size() > kDatagramRoom) return false;
    const DnsClock::time_point deadline = Now() + kDnsWait;
    while (true) {
      const int sent = net::send(socket_, reinterpret_cast<const char*>(datagram.data()),
                                 static_cast<int>(datagram.size()), 0);
      if (sent == static_cast<int>(datagram.size())) return true;
      if (sent != SOCKET_ERROR || net::WSAGetLastError() != WSAEWOULDBLOCK || Now() >= deadline ||
          WaitForSocket(socket_, true, deadline) != SocketWait::Ready)
        break;
    }
    failed_ = true;
    return false;
  }

  std::optional<std::vector<std::uint8_t>> Receive(DnsClock::time_point deadline) override {
    while (!failed_) {
      std::vector<std::uint8_t> datagram(kDatagramRoom);
      const int got = net::recv(socket_, reinterpret_cast<char*>(datagram.data()),
                                static_cast<int>(datagram.size()), 0);
      if (got >= 0) {
        datagram.resize(static_cast<std::size_t>(got));
        return datagram;
      }
      const int error = net::WSAGetLastError();
      // WSAECONNRESET: the server's host said nobody listens on port 53.
      if (error != WSAEWOULDBLOCK || Now() >= deadline) {
        if (error != WSAEWOULDBLOCK) failed_ = true;
        break;
      }
      const SocketWait wait = WaitForSocket(socket_, false, deadline);
      if (wait == SocketWait::TimedOut) break;
      if (wait == SocketWait::Failed) failed_ = true;
    }
    return std::nullopt;
  }

 private:
  SOCKET socket_;
  bool failed_ = false;
};

}  // namespace

void AddNameServers(const std::u16string& text, std::vector<std::string>& servers) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find_first_of(u", \t\r\n", at);
    const std::size_t stop = end == std::u16string::npos ? text.size() : end;
    if (stop > at) AddServer(Utf16ToUtf8(text.substr(at, stop - at)), servers);
    at = stop + 1;
  }
}

TSystemDnsNetwork::TSystemDnsNetwork() {
  WSADATA data;
  started_ = net::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  advapi_ = LoadLibraryW(L"advapi32.dll");
  if (advapi_)
    genRandom_ = reinterpret_cast<GenRandom>(
        reinterpret_cast<void*>(GetProcAddress(advapi_, "SystemFunction036")));
  if (!genRandom_) {
    bcrypt_ = LoadLibraryW(L"bcrypt.dll");
    if (bcrypt_)
      bcryptRandom_ = reinterpret_cast<BCryptRandom>(
          reinterpret_cast<void*>(GetProcAddress(bcrypt_, "BCryptGenRandom")));
  }
}

TSystemDnsNetwork::~TSystemDnsNetwork() {
  if (bcrypt_) FreeLibrary(bcrypt_);
  if (advapi_) FreeLibrary(advapi_);
  if (started_) net::WSACleanup();
}

std::vector<std::string> TSystemDnsNetwork::NameServers() {
  std::vector<std::string> servers = HelperNameServers();
  if (servers.empty()) servers = RegistryNameServers();
  return servers;
}

std::unique_ptr<IDnsSocket> TSystemDnsNetwork::Open(const std::string& server) {
  // An empty name would be taken for this computer's own addresses.
  if (!started_ || server.empty()) return nullptr;
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  hints.ai_flags = AI_NUMERICHOST;
  const std::u16string name = Utf8ToUtf16(server);
  ADDRINFOW* found = nullptr;
  if (net::GetAddrInfoW(reinterpret_cast<const wchar_t*>(name.c_str()), L"53", &hints, &found) !=
          0 ||
      !found) {
    if (found) net::FreeAddrInfoW(found);
    return nullptr;
  }
  SOCKET s = net::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  u_long nonBlocking = 1;
  const bool ready = s != INVALID_SOCKET && net::ioctlsocket(s, FIONBIO, &nonBlocking) == 0 &&
                     net::connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
  net::FreeAddrInfoW(found);
  if (!ready) {
    if (s != INVALID_SOCKET) net::closesocket(s);
    return nullptr;
  }
  return std::make_unique<TUdpDnsSocket>(s);
}

std::uint16_t TSystemDnsNetwork::NewQueryId() {
  std::uint16_t id = 0;
  if (genRandom_ && genRandom_(&id, sizeof id)) return id;
  constexpr ULONG kSystemPreferredRng = 0x00000002;  // BCRYPT_USE_SYSTEM_PREFERRED_RNG
  if (bcryptRandom_ && bcryptRandom_(nullptr, reinterpret_cast<unsigned char*>(&id), sizeof id,
                                     kSystemPreferredRng) >= 0)
    return id;
  // No generator at all: guessable, but at least not the same each time.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  std::uint32_t mix = static_cast<std::uint32_t>(counter.QuadPart) ^
                      static_cast<std::uint32_t>(counter.QuadPart >> 32) ^
                      (GetCurrentProcessId() << 16) ^ (++fallbackCount_ * 0x9E3779B9u);
  mix ^= mix >> 16;
  mix *= 0x85EBCA6Bu;
  mix ^= mix >> 13;
  return static_cast<std::uint16_t>(mix);
}

}  // namespace ostrel::delivery
