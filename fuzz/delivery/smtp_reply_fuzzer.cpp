// libFuzzer target: what an SMTP server sends. The first byte picks the
// target and the size of the pieces the bytes arrive in: the reply parser
// alone, or a whole session reading the bytes as the server's side of the
// dialogue, which must end (never wait or read without end) and never send
// a login to a server that offered no STARTTLS when TLS was asked for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "crash/ui/delivery/smtp_extensions.h"
#include "crash/ui/delivery/smtp_reply.h"
#include "crash/ui/delivery/smtp_session.h"

namespace {

using namespace ostrel::delivery;

void Trap(bool ok) {
  if (!ok) __builtin_trap();
}

std::string Serialized(const SmtpReply& reply) {
  std::string text;
  const std::string code = reply.firstLine.substr(0, 3);
  for (std::size_t i = 0; i < reply.lines.size(); ++i)
    text += code + (i + 1 < reply.lines.size() ? "-" : " ") + reply.lines[i] + "\r\n";
  return text;
}

void FuzzParser(std::string_view bytes, std::size_t piece) {
  SmtpReplyParser parser;
  while (!bytes.empty()) {
    std::size_t used = 0;
    const std::string_view offered = bytes.substr(0, piece);
    const ReplyState state = parser.Feed(offered, used);
    Trap(used <= offered.size());
    Trap(state == ReplyState::Incomplete ? used == offered.size() : true);
    bytes.remove_prefix(used);
    const SmtpReply& reply = parser.Reply();
    Trap(reply.lines.size() <= SmtpReplyParser::kLineCountLimit);
    for (const std::string& line : reply.lines) Trap(line.size() < SmtpReplyParser::kLineLimit);
    if (state == ReplyState::Complete) {
      Trap(reply.code >= 0 && reply.code <= 999 && !reply.lines.empty());
      // What was read reads again the same when written plainly.
      SmtpReplyParser again;
      std::size_t againUsed = 0;
      const std::string text = Serialized(reply);
      Trap(again.Feed(text, againUsed) == ReplyState::Complete && againUsed == text.size());
      Trap(again.Reply().code == reply.code && again.Reply().lines == reply.lines);
      ReadExtensions(reply);
    } else if (state != ReplyState::Incomplete) {
      break;
    }
  }
}

// The server's side: the fuzzer's bytes, in pieces, then a closed line.
class FuzzServer : public ISmtpConnection {
 public:
  FuzzServer(std::string_view bytes, std::size_t piece, bool& loginSent)
      : bytes_(bytes), piece_(piece), loginSent_(loginSent) {}
  bool Send(std::string_view bytes) override {
    if (bytes.starts_with("AUTH")) loginSent_ = true;
    return true;
  }
  ReceiveStatus Receive(char* into, std::size_t room, SmtpClock::time_point,
                        std::size_t& count) override {
    now_ += std::chrono::milliseconds(10);
    ++receives_;
    Trap(receives_ < 1'000'000);
    if (bytes_.empty()) return ReceiveStatus::Closed;
    count = std::min({room, piece_, bytes_.size()});
    std::copy_n(bytes_.begin(), count, into);
    bytes_.remove_prefix(count);
    return ReceiveStatus::Data;
  }
  bool StartTls() override { return true; }
  bool Closed() const override { return bytes_.empty(); }
  SmtpClock::time_point Now() const override { return now_; }

 private:
  std::string_view bytes_;
  std::size_t piece_;
  bool& loginSent_;
  SmtpClock::time_point now_{};
  int receives_ = 0;
};

void FuzzSession(std::string_view bytes, std::size_t piece, bool tls) {
  bool loginSent = false;
  bool offered = false, opened = false;
  {
    SmtpSessionOptions options;
    options.tls = tls;
    options.account = u"account";
    options.password = u"password";
    TSmtp session(std::make_unique<FuzzServer>(bytes, piece, loginSent), options);
    opened = session.Open();
    offered = session.StartTlsOffered();
    if (opened) {
      MailMessage message;
      message.from = *ParseMailAddress(u"a@b.c");
      message.to = {message.from};
      message.replyTo = message.from;
      message.body = u".\r\nx";
      SendProgress progress;
      session.SendMessage(message, message.from, message.to, progress);
    }
    Trap(opened || !session.LastError().empty());
  }
  if (tls && !offered) Trap(!loginSent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + (data[0] & 0x3F);
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 0x80)
    FuzzSession(bytes, piece, data[0] & 0x40);
  else
    FuzzParser(bytes, piece);
  return 0;
}
