#include "scripted_server.h"

#include <algorithm>

namespace ostrel::delivery::testing {

namespace {

constexpr std::size_t kHandOut = 7;  // bytes per Receive: replies arrive in pieces

}  // namespace

bool ServerLog::Sent(const std::string& start) const {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

ScriptedServer::ScriptedServer(std::vector<Step> script, std::shared_ptr<ServerLog> log,
                               bool tlsWorks)
    : script_(std::move(script)), log_(std::move(log)), tlsWorks_(tlsWorks) {
  Respond("");  // the greeting
}

void ScriptedServer::Respond(const std::string& line) {
  if (next_ >= script_.size() || line.rfind(script_[next_].expect, 0) != 0) {
    if (log_->fault.empty()) log_->fault = line.empty() ? "<greeting>" : line;
    closed_ = true;
    return;
  }
  const Step& step = script_[next_++];
  mode_ = step.answer;
  if (mode_ == Answer::Close) closed_ = true;
  if (mode_ != Answer::Close && mode_ != Answer::Silence) outbox_ += step.text;
  if (!injected_.empty() && step.expect == injectAfter_) outbox_ += injected_;
  inData_ = step.expect == "DATA" && step.text.rfind("354", 0) == 0;
}

bool ScriptedServer::Send(std::string_view bytes) {
  if (closed_) return false;
  log_->largestSend = std::max(log_->largestSend, bytes.size());
  if (bytes.size() > budget_) {
    inbox_ += bytes.substr(0, budget_);
    TakeLines();
    closed_ = true;
    return false;
  }
  budget_ -= budget_ == SIZE_MAX ? 0 : bytes.size();
  inbox_ += bytes;
  TakeLines();
  return true;
}

void ScriptedServer::TakeLines() {
  while (!closed_) {
    if (inData_) {
      const bool atStart = log_->data.empty() && inbox_.rfind(".\r\n", 0) == 0;
      const std::size_t end = atStart ? 0 : inbox_.find("\r\n.\r\n");
      if (end == std::string::npos) return;
      const std::size_t length = atStart ? 3 : end + 5;
      log_->data += inbox_.substr(0, length);
      inbox_.erase(0, length);
      inData_ = false;
      Respond(kData);
      continue;
    }
    const std::size_t end = inbox_.find("\r\n");
    if (end == std::string::npos) return;
    const std::string line = inbox_.substr(0, end);
    inbox_.erase(0, end + 2);
    log_->lines.push_back(line);
    Respond(line);
  }
}

ReceiveStatus ScriptedServer::Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                                      std::size_t& count) {
  now_ += std::chrono::milliseconds(1);
  if (!outbox_.empty()) {
    count = std::min({room, outbox_.size(), mode_ == Answer::Drip ? std::size_t{1} : kHandOut});
    std::copy_n(outbox_.begin(), count, into);
    outbox_.erase(0, count);
    if (mode_ == Answer::Drip) now_ += std::chrono::seconds(1);
    return ReceiveStatus::Data;
  }
  if (closed_) return ReceiveStatus::Closed;
  if (mode_ == Answer::Endless || mode_ == Answer::HugeLine) {
    const std::string piece = mode_ == Answer::Endless ? "250-more\r\n" : "xxxxxxxxxx";
    count = std::min(room, piece.size());
    std::copy_n(piece.begin(), count, into);
    return ReceiveStatus::Data;
  }
  now_ = std::max(now_, deadline);
  return ReceiveStatus::TimedOut;
}

bool ScriptedServer::StartTls() {
  log_->tls = true;
  return tlsWorks_;
}

void ScriptedNetwork::Serve(const std::string& server, std::vector<Step> script, bool tlsWorks) {
  scripts_[server] = {std::move(script), tlsWorks};
}

std::unique_ptr<ISmtpConnection> ScriptedNetwork::Connect(const std::string& server, int port,
                                                          bool ssl, std::chrono::milliseconds,
                                                          std::string& error) {
  const auto found = scripts_.find(server);
  if (found == scripts_.end()) {
    error = "No connection to server";
    return nullptr;
  }
  auto log = std::make_shared<ServerLog>();
  connections.push_back({server, port, ssl, log});
  return std::make_unique<ScriptedServer>(found->second.first, log, found->second.second);
}

std::vector<Step> GoodDialogue(const std::string& ehlo, int recipients) {
  std::vector<Step> steps = {
      {"", "220 mx.example ESMTP\r\n"}, {"EHLO ", ehlo}, {"MAIL FROM:<", "250 sender ok\r\n"}};
  for (int i = 0; i < recipients; ++i) steps.push_back({"RCPT TO:<", "250 recipient ok\r\n"});
  steps.push_back({"DATA", "354 go ahead\r\n"});
  steps.push_back({kData, "250 queued as 12\r\n"});
  steps.push_back({"QUIT", "221 bye\r\n"});
  return steps;
}

}  // namespace ostrel::delivery::testing
