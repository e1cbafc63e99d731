#pragma once
// SMTP over a plain POSIX TCP socket, for the test against a real server;
// it cannot do TLS.

#include "crash/ui/delivery/smtp_connection.h"

namespace ostrel::delivery::testing {

class SocketNetwork : public ISmtpNetwork {
 public:
  std::unique_ptr<ISmtpConnection> Connect(const std::string& server, int port, bool ssl,
                                           std::chrono::milliseconds timeout,
                                           std::string& error) override;
  std::string ComputerName() override { return "delivery-test"; }
};

}  // namespace ostrel::delivery::testing
