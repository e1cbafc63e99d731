#pragma once
// A scripted HTTP server on 127.0.0.1 for the WinHTTP exchange's tests: one
// connection at a time, each request read whole and answered as the script
// says, then the connection closed.
#include <winsock2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ostrel::upload::test {

struct ReceivedRequest {
  std::string head;  // request line and headers
  std::string body;
};

struct ScriptedReply {
  enum class Kind { Text, Silent, Endless, CloseAtOnce };
  Kind kind = Kind::Text;
  std::string text;  // for Text: the whole response as sent
};

class LoopbackHttpServer {
 public:
  using Script = std::function<ScriptedReply(const ReceivedRequest&, int index)>;
  explicit LoopbackHttpServer(Script script);
  ~LoopbackHttpServer();

  int Port() const { return port_; }
  std::vector<ReceivedRequest> Received();

 private:
  void Serve();
  void Answer(SOCKET client);

  Script script_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<ReceivedRequest> received_;
  std::vector<SOCKET> held_;
  std::thread thread_;
};

}  // namespace ostrel::upload::test
