#include "tests/wine/upload/loopback_http_server.h"

#include <ws2tcpip.h>

#include <algorithm>

namespace ostrel::upload::test {

namespace {

// The request's Content-Length, 0 without one.
std::size_t BodyLength(const std::string& head) {
  std::string lower = head;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  const std::size_t at = lower.find("\r\ncontent-length:");
  return at == std::string::npos ? 0 : std::stoul(head.substr(at + 17));
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Script script) : script_(std::move(script)) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 8) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (SOCKET s : held_) closesocket(s);
    held_.clear();
  }
  closesocket(listener_);
  if (thread_.joinable()) thread_.join();
  WSACleanup();
}

std::vector<ReceivedRequest> LoopbackHttpServer::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void LoopbackHttpServer::Serve() {
  for (;;) {
    const SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    Answer(client);
  }
}

void LoopbackHttpServer::Answer(SOCKET client) {
  ReceivedRequest request;
  std::string bytes;
  char buffer[16384];
  std::size_t headEnd = std::string::npos;
  for (;;) {
    if (headEnd == std::string::npos) headEnd = bytes.find("\r\n\r\n");
    if (headEnd != std::string::npos &&
        bytes.size() >= headEnd + 4 + BodyLength(bytes.substr(0, headEnd + 2)))
      break;
    const int n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closesocket(client);
      return;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  request.head = bytes.substr(0, headEnd + 2);
  request.body = bytes.substr(headEnd + 4);
  int index = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    index = static_cast<int>(received_.size());
    received_.push_back(request);
  }
  const ScriptedReply reply = script_(request, index);
  switch (reply.kind) {
    case ScriptedReply::Kind::Text:
      send(client, reply.text.data(), static_cast<int>(reply.text.size()), 0);
      shutdown(client, SD_SEND);
      break;
    case ScriptedReply::Kind::Endless: {
      const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
      send(client, head.data(), static_cast<int>(head.size()), 0);
      const std::string piece(65536, 'x');
      while (!stopping_ && send(client, piece.data(), static_cast<int>(piece.size()), 0) > 0) {
      }
      break;
    }
    case ScriptedReply::Kind::Silent: {
      // Held open until the server stops: the client has to give up.
      std::lock_guard<std::mutex> lock(mutex_);
      if (!stopping_) {
        held_.push_back(client);
        return;
      }
      break;
    }
    case ScriptedReply::Kind::CloseAtOnce:
      break;
  }
  closesocket(client);
}

}  // namespace ostrel::upload::test
