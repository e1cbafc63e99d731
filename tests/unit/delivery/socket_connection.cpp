#include "socket_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ostrel::delivery::testing {

namespace {

int MillisecondsUntil(SmtpClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SmtpClock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

class SocketConnection : public ISmtpConnection {
 public:
  explicit SocketConnection(int fd) : fd_(fd) {}
  ~SocketConnection() override { close(fd_); }

  bool Send(std::string_view bytes) override {
    while (!bytes.empty() && !closed_) {
      const ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EAGAIN) {
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 7000);
        continue;
      }
      if (n <= 0) closed_ = true;
      if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return !closed_;
  }

  ReceiveStatus Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                        std::size_t& count) override {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, MillisecondsUntil(deadline));
    if (ready == 0) return ReceiveStatus::TimedOut;
    if (ready < 0) return ReceiveStatus::Failed;
    const ssize_t n = recv(fd_, into, room, 0);
    if (n == 0) closed_ = true;
    if (n <= 0) return n == 0 ? ReceiveStatus::Closed : ReceiveStatus::Failed;
    count = static_cast<std::size_t>(n);
    return ReceiveStatus::Data;
  }

  bool StartTls() override { return false; }
  bool Closed() const override { return closed_; }

 private:
  int fd_;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<ISmtpConnection> SocketNetwork::Connect(const std::string& server, int port,
                                                        bool ssl, std::chrono::milliseconds timeout,
                                                        std::string& error) {
  if (ssl) {
    error = "SSL failed";
    return nullptr;
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) {
    error = std::string("Server not found (") + gai_strerror(resolved) + ")";
    return nullptr;
  }
  const SmtpClock::time_point deadline = SmtpClock::now() + timeout;
  for (addrinfo* a = found; a; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        close(fd);
        continue;
      }
      pollfd p{fd, POLLOUT, 0};
      int failure = ETIMEDOUT;
      socklen_t size = sizeof failure;
      if (poll(&p, 1, MillisecondsUntil(deadline)) == 1)
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size);
      if (failure != 0) {
        close(fd);
        continue;
      }
    }
    freeaddrinfo(found);
    return std::make_unique<SocketConnection>(fd);
  }
  freeaddrinfo(found);
  error = "No connection to server";
  return nullptr;
}

}  // namespace ostrel::delivery::testing
