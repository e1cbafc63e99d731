#include "tests/unit/upload/posix_http_exchange.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crash/ui/upload/http_auth.h"

namespace ostrel::upload::test {

namespace {

int MillisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1000000));
}

// A connected, non-blocking socket, or -1 with the reason.
int Connect(const ServerAddress& server, Deadline deadline, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(server.host.c_str(), std::to_string(server.port).c_str(), &hints, &found) != 0) {
    error = "cannot resolve " + server.host;
    return -1;
  }
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
      close(fd), fd = -1;
      continue;
    }
    pollfd p{fd, POLLOUT, 0};
    int soError = 0;
    socklen_t length = sizeof soError;
    if (poll(&p, 1, MillisecondsLeft(deadline)) != 1 ||
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0 || soError != 0)
      close(fd), fd = -1;
  }
  freeaddrinfo(found);
  if (fd < 0) error = "cannot connect to " + server.host + ":" + std::to_string(server.port);
  return fd;
}

}  // namespace

bool PosixHttpExchange::Send(const HttpRequest& request, Deadline deadline, HttpResponse& response,
                             std::string& error) {
  std::string text = request.method + " " + request.target + " HTTP/1.1\r\nHost: " + server_.host +
                     ":" + std::to_string(server_.port) + "\r\nUser-Agent: " + kUserAgent +
                     "\r\nConnection: close\r\n";
  if (!authorization_.empty()) text += "Authorization: " + authorization_ + "\r\n";
  for (const HttpHeader& h : request.headers) text += h.name + ": " + h.value + "\r\n";
  if (request.method == "POST" || !request.body.empty())
    text += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
  text += "\r\n" + request.body;

  const int fd = Connect(server_, deadline, error);
  if (fd < 0) return false;
  std::size_t sent = 0;
  HttpResponseParser parser(limits_);
  bool ok = false;
  while (!ok) {
    pollfd p{fd, static_cast<short>(sent < text.size() ? POLLIN | POLLOUT : POLLIN), 0};
    const int ready = poll(&p, 1, MillisecondsLeft(deadline));
    if (ready <= 0) {
      error = "no answer in time";
      break;
    }
    if (sent < text.size() && (p.revents & POLLOUT)) {
      const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN) {
        error = std::string("send: ") + std::strerror(errno);
        break;
      }
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[16384];
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EAGAIN) continue;
      const HttpResponseParser::State state =
          n > 0 ? parser.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))
                : parser.Finish();
      if (state == HttpResponseParser::State::Failed) {
        error = parser.Error();
        break;
      }
      ok = state == HttpResponseParser::State::Done;
      if (!ok && n <= 0) break;
    }
  }
  close(fd);
  if (ok) response = parser.TakeResponse();
  return ok;
}

bool PosixHttpExchange::Authenticate(AuthTarget target, const HttpResponse& challenge,
                                     std::u16string_view account, std::u16string_view password) {
  if (target != AuthTarget::Server || PickAuthScheme(challenge, target) != AuthScheme::Basic)
    return false;
  authorization_ = BasicAuthorization(account, password);
  return true;
}

}  // namespace ostrel::upload::test
