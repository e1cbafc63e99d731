#pragma once
// SMTP servers that follow a script, for the session's tests: each line
// the client sends must begin as the next step expects, and the step's
// answer comes back, handed out a few bytes at a time. Time is the
// server's own, so that waits cost nothing.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crash/ui/delivery/smtp_connection.h"

namespace ostrel::delivery::testing {

enum class Answer {
  Reply,     // the step's text
  Close,     // the server hangs up instead
  Silence,   // nothing comes until the deadline
  Endless,   // continuation lines without end
  HugeLine,  // one line without end
  Drip,      // the text, one byte a second
};

struct Step {
  std::string expect;  // how the client's line begins; "" for the greeting, kData for DATA's text
  std::string text;
  Answer answer = Answer::Reply;
};
inline const std::string kData = "<data>";

// What the server saw; it outlives the connection the session owns.
struct ServerLog {
  std::vector<std::string> lines;  // the client's lines outside DATA
  std::string data;                // DATA's bytes up to and with the final "."
  std::string fault;               // the first line that broke the script
  bool tls = false;                // StartTls was called
  std::size_t largestSend = 0;
  bool Sent(const std::string& start) const;
};

class ScriptedServer : public ISmtpConnection {
 public:
  ScriptedServer(std::vector<Step> script, std::shared_ptr<ServerLog> log, bool tlsWorks = true);
  bool Send(std::string_view bytes) override;
  ReceiveStatus Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                        std::size_t& count) override;
  bool StartTls() override;
  bool Closed() const override { return closed_; }
  SmtpClock::time_point Now() const override { return now_; }

  // Bytes a man in the middle adds after the reply to the step that
  // expects `step`.
  void Inject(std::string step, std::string bytes) {
    injectAfter_ = std::move(step);
    injected_ = std::move(bytes);
  }
  // The line breaks after `bytes` more bytes from the client.
  void BreakAfter(std::size_t bytes) { budget_ = bytes; }

 private:
  void Respond(const std::string& line);
  void TakeLines();

  std::vector<Step> script_;
  std::size_t next_ = 0;
  std::shared_ptr<ServerLog> log_;
  bool tlsWorks_;
  std::string inbox_, outbox_, injectAfter_, injected_;
  std::size_t budget_ = SIZE_MAX;
  bool inData_ = false, closed_ = false;
  Answer mode_ = Answer::Reply;
  SmtpClock::time_point now_{};
};

// Opens scripted servers by name; a name without a script cannot be reached.
class ScriptedNetwork : public ISmtpNetwork {
 public:
  struct Connection {
    std::string server;
    int port;
    bool ssl;
    std::shared_ptr<ServerLog> log;
  };
  void Serve(const std::string& server, std::vector<Step> script, bool tlsWorks = true);
  std::unique_ptr<ISmtpConnection> Connect(const std::string& server, int port, bool ssl,
                                           std::chrono::milliseconds timeout,
                                           std::string& error) override;
  std::string ComputerName() override { return "Crash PC"; }

  std::vector<Connection> connections;

 private:
  std::map<std::string, std::pair<std::vector<Step>, bool>> scripts_;
};

// The usual way: greeting, EHLO with `ehlo`'s lines, the envelope, DATA,
// the text accepted, QUIT.
std::vector<Step> GoodDialogue(const std::string& ehlo = "250-mx.example\r\n250 8BITMIME\r\n",
                               int recipients = 1);

}  // namespace ostrel::delivery::testing
