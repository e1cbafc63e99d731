#include "crash/ui/delivery/win/net_library.h"
#include "crash/ui/delivery/win/socket_smtp_network.h"

#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>

#include "crash/base/utf.h"
#include "crash/ui/delivery/win/socket_wait.h"

namespace ostrel::delivery {

namespace {

// What SMTP sends goes out in pieces no larger than this.
constexpr std::size_t kSendPiece = 1024;
// The shutdown token is a courtesy; closing never waits long for it.
constexpr std::chrono::milliseconds kCloseWait{2000};

// A connected socket to `address`, or INVALID_SOCKET once the deadline
// passed or the address refused.
SOCKET ConnectTo(const ADDRINFOW& address, SmtpClock::time_point deadline) {
  SOCKET s = net::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
  if (s == INVALID_SOCKET) return s;
  u_long nonBlocking = 1;
  bool connected = false;
  if (net::ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
    if (net::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
      connected = true;
    } else if (net::WSAGetLastError() == WSAEWOULDBLOCK &&
               WaitForSocket(s, true, deadline) == SocketWait::Ready) {
      int failure = 0;
      int size = sizeof failure;
      connected =
          net::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &size) == 0 &&
          failure == 0;
    }
  }
  if (connected) return s;
  net::closesocket(s);
  return INVALID_SOCKET;
}

std::string AnsiToUtf8(const char* text, int size) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text, size, nullptr, 0);
  if (n <= 0) return std::string();
  std::u16string wide(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, size, reinterpret_cast<wchar_t*>(wide.data()), n);
  return Utf16ToUtf8(wide);
}

}  // namespace

TSocketSmtpConnection::TSocketSmtpConnection(SOCKET socket, std::string serverName,
                                             std::chrono::milliseconds timeout,
                                             bool validateCertificate)
    : socket_(socket),
      serverName_(std::move(serverName)),
      timeout_(timeout),
      validate_(validateCertificate) {}

TSocketSmtpConnection::~TSocketSmtpConnection() {
  if (tls_) {
    if (!Closed()) tls_->Close(Now() + std::min(timeout_, kCloseWait));
    tls_.reset();
  }
  net::closesocket(socket_);
}

bool TSocketSmtpConnection::Send(std::string_view bytes) {
  if (Closed()) return false;
  const SmtpClock::time_point deadline = Now() + timeout_;
  std::size_t piece = kSendPiece;
  if (tls_) piece = std::min(piece, tls_->MaxMessage());
  while (!bytes.empty() && piece > 0) {
    const std::string_view part = bytes.substr(0, piece);
    const bool sent = tls_ ? tls_->Send(part, deadline) : SendAllBytes(socket_, part, deadline);
    if (!sent) {
      broken_ = true;
      return false;
    }
    bytes.remove_prefix(part.size());
  }
  return bytes.empty();
}

ReceiveStatus TSocketSmtpConnection::Receive(char* into, std::size_t room,
                                             SmtpClock::time_point deadline, std::size_t& count) {
  if (broken_) return ReceiveStatus::Failed;
  if (closed_) return ReceiveStatus::Closed;
  const ReceiveStatus status = tls_ ? tls_->Receive(into, room, deadline, count)
                                    : ReceiveSomeBytes(socket_, into, room, deadline, count);
  if (status == ReceiveStatus::Closed) closed_ = true;
  if (status == ReceiveStatus::Failed) broken_ = true;
  return status;
}

bool TSocketSmtpConnection::StartTls() {
  if (tls_ || Closed()) return false;
  tls_ = std::make_unique<TTlsChannel>(socket_, serverName_, validate_);
  if (tls_->Handshake(Now() + timeout_)) return true;
  // Half a handshake leaves the stream in no state to say anything more.
  broken_ = true;
  return false;
}

TSocketSmtpNetwork::TSocketSmtpNetwork(bool validateCertificate) : validate_(validateCertificate) {
  WSADATA data;
  started_ = net::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

TSocketSmtpNetwork::~TSocketSmtpNetwork() {
  if (started_) net::WSACleanup();
}

std::unique_ptr<ISmtpConnection> TSocketSmtpNetwork::Connect(const std::string& server, int port,
                                                             bool ssl,
                                                             std::chrono::milliseconds timeout,
                                                             std::string& error) {
  if (!started_ || port < 1 || port > 65535) {
    error = "No connection to server";
    return nullptr;
  }
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  const std::u16string name = Utf8ToUtf16(server);
  const std::u16string service = Utf8ToUtf16(std::to_string(port));
  ADDRINFOW* found = nullptr;
  const int resolved =
      net::GetAddrInfoW(reinterpret_cast<const wchar_t*>(name.c_str()),
                        reinterpret_cast<const wchar_t*>(service.c_str()), &hints, &found);
  if (resolved != 0 || !found) {
    if (found) net::FreeAddrInfoW(found);
    error =
        "Server not found (" + SystemErrorText(resolved != 0 ? resolved : WSAHOST_NOT_FOUND) + ")";
    return nullptr;
  }
  // One time-out for all addresses: the caller waits no longer for more of them.
  const SmtpClock::time_point deadline = SmtpClock::now() + timeout;
  SOCKET s = INVALID_SOCKET;
  for (const ADDRINFOW* a = found; a && s == INVALID_SOCKET; a = a->ai_next) {
    if (SmtpClock::now() >= deadline) break;
    s = ConnectTo(*a, deadline);
  }
  net::FreeAddrInfoW(found);
  if (s == INVALID_SOCKET) {
    error = "No connection to server";
    return nullptr;
  }
  auto connection = std::make_unique<TSocketSmtpConnection>(s, server, timeout, validate_);
  if (ssl && !connection->StartTls()) {
    error = "SSL failed";
    return nullptr;
  }
  return connection;
}

std::string TSocketSmtpNetwork::ComputerName() {
  DWORD size = 0;
  GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
  if (size > 0 && size < 1024) {
    std::u16string name(size, u'\0');
    if (GetComputerNameExW(ComputerNameDnsHostname, reinterpret_cast<wchar_t*>(name.data()),
                           &size) &&
        size > 0 && size < name.size()) {
      name.resize(size);
      return Utf16ToUtf8(name);
    }
  }
  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = sizeof name;
  if (GetComputerNameA(name, &length) && length > 0 && length < sizeof name)
    return AnsiToUtf8(name, static_cast<int>(length));
  return std::string();
}

}  // namespace ostrel::delivery
