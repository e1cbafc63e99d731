// The Windows network layer against peers in this process over loopback:
// closing, silent, unreading and non-TLS peers must end in a failure in
// time, never in a hang. Real SMTP and DNS servers are the host driver's,
// through smtp_probe.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "crash/ui/delivery/win/socket_smtp_network.h"
#include "crash/ui/delivery/win/system_dns_network.h"

namespace ostrel::delivery {
namespace {

using namespace std::chrono_literals;
using Peer = std::function<void(SOCKET, const std::atomic<bool>& stop)>;

// Scheduling under Wine is slow; a hang is what these catch, not a delay.
constexpr auto kSlack = 3s;

void WaitForStop(const std::atomic<bool>& stop) {
  while (!stop) Sleep(10);
}

// Accepts one connection on 127.0.0.1 and hands it to `peer` on a thread.
class LoopbackServer {
 public:
  explicit LoopbackServer(Peer peer) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, peer] {
      // Accepts only once the listener is readable, so that a test without
      // a client does not leave the thread in accept().
      while (!stop_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval tv{0, 20000};
        if (select(0, &readable, nullptr, nullptr, &tv) != 1) continue;
        SOCKET s = accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET) return;
        peer(s, stop_);
        closesocket(s);
        return;
      }
    });
  }
  ~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    closesocket(listener_);
  }
  int Port() const { return port_; }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data_), 0); }
  void TearDown() override { WSACleanup(); }

  std::unique_ptr<ISmtpConnection> Connect(int port, bool ssl, std::chrono::milliseconds timeout) {
    return network_.Connect("127.0.0.1", port, ssl, timeout, error_);
  }

  TSocketSmtpNetwork network_;
  std::string error_;

 private:
  WSADATA data_;
};

std::string ReceiveAll(ISmtpConnection& connection, ReceiveStatus& last) {
  std::string text;
  char chunk[7];  // small, so that a reply comes in several pieces
  const SmtpClock::time_point deadline = SmtpClock::now() + 5s;
  while (true) {
    std::size_t count = 0;
    last = connection.Receive(chunk, sizeof chunk, deadline, count);
    if (last != ReceiveStatus::Data) return text;
    EXPECT_LE(count, sizeof chunk);
    text.append(chunk, count);
  }
}

TEST_F(NetworkTest, PlainStreamDeliversAllBytesThenClosed) {
  LoopbackServer server([](SOCKET s, const std::atomic<bool>&) {
    const std::string greeting = "220 loopback ready\r\n250 and more\r\n";
    send(s, greeting.data(), static_cast<int>(greeting.size()), 0);
    shutdown(s, SD_SEND);
  });
  auto connection = Connect(server.Port(), false, 5s);
  ASSERT_TRUE(connection) << error_;
  ReceiveStatus last;
  EXPECT_EQ(ReceiveAll(*connection, last), "220 loopback ready\r\n250 and more\r\n");
  EXPECT_EQ(last, ReceiveStatus::Closed);
  EXPECT_TRUE(connection->Closed());
  EXPECT_FALSE(connection->Send("QUIT\r\n"));
  EXPECT_FALSE(connection->StartTls());
}

TEST_F(NetworkTest, SilentPeerTimesOutAtTheDeadline) {
  LoopbackServer server([](SOCKET, const std::atomic<bool>& stop) { WaitForStop(stop); });
  auto connection = Connect(server.Port(), false, 5s);
  ASSERT_TRUE(connection) << error_;
  const auto start = SmtpClock::now();
  char chunk[16];
  std::size_t count = 0;
  EXPECT_EQ(connection->Receive(chunk, sizeof chunk, start + 300ms, count),
            ReceiveStatus::TimedOut);
  const auto waited = SmtpClock::now() - start;
  EXPECT_GE(waited, 250ms);
  EXPECT_LT(waited, 300ms + kSlack);
  EXPECT_FALSE(connection->Closed());
  // A deadline already passed looks once and returns.
  EXPECT_EQ(connection->Receive(chunk, sizeof chunk, start, count), ReceiveStatus::TimedOut);
}

TEST_F(NetworkTest, SendingToAPeerThatNeverReadsFailsWithinTheTimeout) {
  LoopbackServer server([](SOCKET, const std::atomic<bool>& stop) { WaitForStop(stop); });
  auto connection = Connect(server.Port(), false, 500ms);
  ASSERT_TRUE(connection) << error_;
  const std::string piece(4096, 'x');
  bool sent = true;
  auto longest = SmtpClock::duration::zero();
  // The socket buffers fill up; the Send after that must give up.
  for (int i = 0; i < 64 * 1024 && sent; ++i) {
    const auto start = SmtpClock::now();
    sent = connection->Send(piece);
    longest = std::max(longest, SmtpClock::now() - start);
  }
  EXPECT_FALSE(sent);
  EXPECT_LT(longest, 500ms + kSlack);
  EXPECT_TRUE(connection->Closed());
}

TEST_F(NetworkTest, ConnectFailuresSayWhy) {
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size), 0);
  closesocket(probe);  // the port nobody listens on

  const auto start = SmtpClock::now();
  EXPECT_FALSE(Connect(ntohs(address.sin_port), false, 2s));
  EXPECT_EQ(error_, "No connection to server");
  EXPECT_LT(SmtpClock::now() - start, 2s + kSlack);

  EXPECT_FALSE(network_.Connect("no-such-host.invalid", 25, false, 2s, error_));
  EXPECT_EQ(error_.rfind("Server not found (", 0), 0u) << error_;
  EXPECT_EQ(error_.back(), ')');
  EXPECT_GT(error_.size(), std::string("Server not found ()").size());
  EXPECT_EQ(error_.find('\n'), std::string::npos);

  EXPECT_FALSE(Connect(0, false, 2s));
  EXPECT_FALSE(Connect(65536, false, 2s));
}

// TLS against peers that are no TLS servers: the handshake fails in time.
TEST_F(NetworkTest, SslAgainstAPlainSmtpGreetingFails) {
  LoopbackServer server([](SOCKET s, const std::atomic<bool>& stop) {
    const std::string greeting = "220 plain text, no TLS here\r\n";
    send(s, greeting.data(), static_cast<int>(greeting.size()), 0);
    WaitForStop(stop);
  });
  const auto start = SmtpClock::now();
  EXPECT_FALSE(Connect(server.Port(), true, 2s));
  EXPECT_EQ(error_, "SSL failed");
  EXPECT_LT(SmtpClock::now() - start, 2s + kSlack);
}

TEST_F(NetworkTest, SslAgainstASilentPeerFailsAtTheTimeout) {
  LoopbackServer server([](SOCKET, const std::atomic<bool>& stop) { WaitForStop(stop); });
  const auto start = SmtpClock::now();
  EXPECT_FALSE(Connect(server.Port(), true, 500ms));
  EXPECT_EQ(error_, "SSL failed");
  EXPECT_LT(SmtpClock::now() - start, 500ms + kSlack);
}

TEST_F(NetworkTest, SslAgainstAnEndlessRecordFails) {
  // A handshake record that announces the largest length, then filler for
  // as long as anybody reads it.
  LoopbackServer server([](SOCKET s, const std::atomic<bool>& stop) {
    const char header[] = {0x16, 0x03, 0x03, static_cast<char>(0xFF), static_cast<char>(0xFF)};
    send(s, header, sizeof header, 0);
    const std::string filler(1024, '\x01');
    while (!stop && send(s, filler.data(), static_cast<int>(filler.size()), 0) > 0) {
    }
  });
  const auto start = SmtpClock::now();
  EXPECT_FALSE(Connect(server.Port(), true, 2s));
  EXPECT_EQ(error_, "SSL failed");
  EXPECT_LT(SmtpClock::now() - start, 2s + kSlack);
}

TEST_F(NetworkTest, SslAgainstAPeerThatClosesFails) {
  LoopbackServer server([](SOCKET, const std::atomic<bool>&) {});
  EXPECT_FALSE(Connect(server.Port(), true, 2s));
  EXPECT_EQ(error_, "SSL failed");
}

TEST_F(NetworkTest, ComputerNameIsThere) { EXPECT_FALSE(network_.ComputerName().empty()); }

TEST(SystemDns, NameServerListsAreSplitAndKeepTheirOrderWithoutDuplicates) {
  std::vector<std::string> servers;
  AddNameServers(u"10.0.0.2, 10.0.0.1  10.0.0.2,,\t::1 ", servers);
  AddNameServers(u"::1 192.0.2.7", servers);
  AddNameServers(u"", servers);
  EXPECT_EQ(servers, (std::vector<std::string>{"10.0.0.2", "10.0.0.1", "::1", "192.0.2.7"}));

  TSystemDnsNetwork dns;
  const std::vector<std::string> system = dns.NameServers();
  EXPECT_EQ(std::set<std::string>(system.begin(), system.end()).size(), system.size());
  for (const std::string& server : system) EXPECT_FALSE(server.empty());
}

TEST(SystemDns, QueryIdsDiffer) {
  TSystemDnsNetwork dns;
  std::set<std::uint16_t> ids;
  for (int i = 0; i < 32; ++i) ids.insert(dns.NewQueryId());
  EXPECT_GT(ids.size(), 16u);
}

TEST(SystemDns, OnlyNumericServersOpen) {
  TSystemDnsNetwork dns;
  EXPECT_TRUE(dns.Open("127.0.0.1"));
  EXPECT_FALSE(dns.Open("localhost"));
  EXPECT_FALSE(dns.Open(""));
}

}  // namespace
}  // namespace ostrel::delivery
