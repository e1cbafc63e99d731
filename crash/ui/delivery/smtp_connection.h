#pragma once
// What SMTP needs of the network: a connected byte stream that can switch
// to TLS, and a way to open one. The Win32 layer brings Winsock and
// Schannel; tests bring scripted servers and a plain socket.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ostrel::delivery {

using SmtpClock = std::chrono::steady_clock;

enum class ReceiveStatus { Data, TimedOut, Closed, Failed };

class ISmtpConnection {
 public:
  virtual ~ISmtpConnection() = default;
  // All of `bytes`, encrypted when TLS runs; false when the connection broke.
  virtual bool Send(std::string_view bytes) = 0;
  // Some bytes (at most `room`) into `into`, waiting no longer than
  // `deadline`; `count` is set only with Data.
  virtual ReceiveStatus Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                                std::size_t& count) = 0;
  // The TLS handshake over the open connection; false when it failed or
  // the connection cannot do TLS.
  virtual bool StartTls() = 0;
  // The line is gone: the peer closed and all it sent has been received,
  // or it broke.
  virtual bool Closed() const = 0;
  // The clock the deadlines are in.
  virtual SmtpClock::time_point Now() const { return SmtpClock::now(); }
};

class ISmtpNetwork {
 public:
  virtual ~ISmtpNetwork() = default;
  // Resolves `server`, connects within `timeout` and with `ssl` starts TLS
  // at once. On failure nothing, and `error` says why: "Server not found ("
  // + the system's text + ")", "No connection to server" or "SSL failed".
  virtual std::unique_ptr<ISmtpConnection> Connect(const std::string& server, int port, bool ssl,
                                                   std::chrono::milliseconds timeout,
                                                   std::string& error) = 0;
  // The name EHLO and HELO give when none is set.
  virtual std::string ComputerName() = 0;
};

}  // namespace ostrel::delivery
