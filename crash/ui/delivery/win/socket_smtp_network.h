#pragma once
// SMTP's network on Windows: Winsock streams, with Schannel for SSL and
// STARTTLS. Nothing here blocks: every wait is a select() with the time
// that is left.

#include <winsock2.h>

#include <chrono>
#include <memory>
#include <string>

#include "crash/ui/delivery/smtp_connection.h"
#include "crash/ui/delivery/win/tls_channel.h"

namespace ostrel::delivery {

class TSocketSmtpConnection : public ISmtpConnection {
 public:
  // Takes the connected, non-blocking socket. `serverName` is what TLS
  // names; `timeout` bounds each Send and the handshake.
  TSocketSmtpConnection(SOCKET socket, std::string serverName, std::chrono::milliseconds timeout,
                        bool validateCertificate);
  // Ends TLS with its shutdown token, then closes the socket.
  ~TSocketSmtpConnection() override;
  TSocketSmtpConnection(const TSocketSmtpConnection&) = delete;
  TSocketSmtpConnection& operator=(const TSocketSmtpConnection&) = delete;

  bool Send(std::string_view bytes) override;
  ReceiveStatus Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                        std::size_t& count) override;
  bool StartTls() override;
  bool Closed() const override { return closed_ || broken_; }

 private:
  SOCKET socket_;
  std::string serverName_;
  std::chrono::milliseconds timeout_;
  bool validate_;
  std::unique_ptr<TTlsChannel> tls_;
  bool closed_ = false;  // the peer ended the stream
  bool broken_ = false;  // sending or receiving failed
};

class TSocketSmtpNetwork : public ISmtpNetwork {
 public:
  // Starts Winsock. With `validateCertificate` the server's certificate
  // must verify for SSL and STARTTLS.
  explicit TSocketSmtpNetwork(bool validateCertificate = false);
  ~TSocketSmtpNetwork() override;
  TSocketSmtpNetwork(const TSocketSmtpNetwork&) = delete;
  TSocketSmtpNetwork& operator=(const TSocketSmtpNetwork&) = delete;

  std::unique_ptr<ISmtpConnection> Connect(const std::string& server, int port, bool ssl,
                                           std::chrono::milliseconds timeout,
                                           std::string& error) override;
  // The computer's DNS host name (UTF-8), else its NetBIOS name.
  std::string ComputerName() override;

 private:
  bool started_ = false;
  bool validate_;
};

}  // namespace ostrel::delivery
