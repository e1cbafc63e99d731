#include "crash/ui/delivery/smtp_session.h"

#include <algorithm>

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"

namespace ostrel::delivery {

namespace {

constexpr std::size_t kSendPiece = 1024;
constexpr std::size_t kReceiveChunk = 4096;

// A host name fit for EHLO: letters, digits, "-" and "."; anything else
// as "-".
std::string HelloName(const std::string& name) {
  std::string out;
  for (char c : name) {
    const bool fits = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.';
    out += fits ? c : '-';
  }
  return out.empty() ? "localhost" : out;
}

bool Accepted(const SmtpReply& reply, int code) {
  return !reply.lines.empty() && reply.code == code;
}

}  // namespace

TSmtp::TSmtp(std::unique_ptr<ISmtpConnection> connection, SmtpSessionOptions options)
    : connection_(std::move(connection)), options_(std::move(options)) {
  options_.heloName = HelloName(options_.heloName);
  broken_ = !connection_;
}

TSmtp::~TSmtp() {
  if (broken_ || !greeted_ || quitSent_) return;
  // Closing without the final "." is the one way to drop an open message.
  if (dataStarted_ && !dataFinished_) return;
  SmtpReply reply;
  if (Command("RSET", reply)) Command("QUIT", reply);
}

bool TSmtp::Open() {
  SmtpReply reply;
  if (!ReadReply(reply) || reply.code != 220) return Fail("No greeting", &reply);
  greeted_ = true;
  if (!Hello("HELO failed")) return false;
  startTlsOffered_ = !options_.ssl && extensions_.startTls;
  // Without STARTTLS the login would cross the wire in the clear, which
  // asking for TLS rules out.
  if (options_.tls && !options_.ssl && !startTlsOffered_) {
    error_ = "TLS failed (STARTTLS not offered)";
    return false;
  }
  const bool account = !options_.account.empty();
  if (startTlsOffered_ && (options_.tls || (account && !extensions_.auth)) && !StartTls())
    return false;
  return LogIn();
}

bool TSmtp::Hello(const char* failure) {
  extensions_ = SmtpExtensions();
  SmtpReply reply;
  if (!Command("EHLO " + options_.heloName, reply)) return Fail(failure, &reply);
  if (Accepted(reply, 250)) {
    extensions_ = ReadExtensions(reply);
    return true;
  }
  if (Command("HELO " + options_.heloName, reply) && Accepted(reply, 250)) return true;
  return Fail(failure, &reply);
}

bool TSmtp::StartTls() {
  SmtpReply reply;
  if (!Command("STARTTLS", reply) || !Accepted(reply, 220)) return Fail("TLS failed", &reply);
  // Bytes that came after the 220 came before the handshake, perhaps from
  // someone between us and the server: never to be read as the server's.
  if (!pending_.empty() || !connection_->StartTls()) {
    broken_ = true;
    error_ = "TLS failed";
    return false;
  }
  startTlsUsed_ = true;
  return Hello("2nd HELO failed");
}

bool TSmtp::LogIn() {
  if (!extensions_.authLogin || (options_.account.empty() && options_.password.empty()))
    return true;
  SmtpReply reply;
  const bool ok =
      Command("AUTH LOGIN", reply) && Accepted(reply, 334) &&
      Command(EncodeBase64(Utf16ToUtf8(options_.account)), reply) && Accepted(reply, 334) &&
      Command(EncodeBase64(Utf16ToUtf8(options_.password)), reply) && Accepted(reply, 235);
  if (!ok) return Fail("Authentication failed", &reply);
  authenticated_ = true;
  return true;
}

bool TSmtp::SendMessage(const MailMessage& message, const MailAddress& sender,
                        const std::vector<MailAddress>& recipients, SendProgress& progress) {
  SmtpReply reply;
  if (!Command("MAIL FROM:" + EnvelopeAddress(sender), reply) || !Accepted(reply, 250))
    return Fail("MAIL FROM failed", &reply);
  bool anyone = false;
  SmtpReply refusal;
  for (const MailAddress& recipient : recipients) {
    if (!Command("RCPT TO:" + EnvelopeAddress(recipient), reply))
      return Fail("RCPT TO failed", &reply);
    // 251: not local, will be forwarded; accepted all the same.
    if (Accepted(reply, 250) || Accepted(reply, 251))
      anyone = true;
    else
      refusal = reply;
  }
  if (!anyone) return Fail("No recipient accepted", &refusal);
  if (!Command("DATA", reply) || !Accepted(reply, 354)) return Fail("DATA failed", &reply);
  dataStarted_ = true;
  if (!SendBody(message, progress)) return Fail("Sending the message failed", nullptr);
  if (!SendData(stuffer_.End())) return Fail("Sending the message failed", nullptr);
  dataFinished_ = true;
  reply = SmtpReply();
  if (!ReadReply(reply) || !Accepted(reply, 250)) return Fail("Message not accepted", &reply);
  // The message is the server's now; a QUIT left unanswered changes nothing.
  Command("QUIT", reply);
  quitSent_ = true;
  return true;
}

bool TSmtp::SendBody(const MailMessage& message, SendProgress& progress) {
  if (!SendData(stuffer_.Stuff(MessageHead(message)))) return false;
  progress.Next();
  for (const MailAttachment& attachment : message.attachments) {
    if (!SendData(stuffer_.Stuff(AttachmentHead(attachment.name)))) return false;
    const std::span<const std::uint8_t> bytes(attachment.bytes);
    for (std::size_t at = 0; at < bytes.size(); at += kAttachmentPiece) {
      const std::size_t size = std::min(kAttachmentPiece, bytes.size() - at);
      if (!SendData(stuffer_.Stuff(AttachmentLine(bytes.subspan(at, size))))) return false;
      progress.Position(at + size, bytes.size());
    }
    progress.Next();
  }
  return SendData(stuffer_.Stuff(MessageEnd()));
}

bool TSmtp::Command(const std::string& line, SmtpReply& reply) {
  reply = SmtpReply();
  return SendData(line + "\r\n") && ReadReply(reply);
}

bool TSmtp::SendData(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size() && !broken_; at += kSendPiece) {
    if (connection_->Closed() || !connection_->Send(bytes.substr(at, kSendPiece))) {
      broken_ = true;
      readError_ = "connection lost while sending";
    }
  }
  return !broken_;
}

bool TSmtp::ReadReply(SmtpReply& reply) {
  if (broken_) return false;
  SmtpReplyParser parser;
  const SmtpClock::time_point deadline = connection_->Now() + options_.timeout;
  char chunk[kReceiveChunk];
  while (true) {
    std::size_t used = 0;
    const ReplyState state = parser.Feed(pending_, used);
    pending_.erase(0, used);
    if (state == ReplyState::Complete) {
      reply = parser.Reply();
      return true;
    }
    if (state != ReplyState::Incomplete) {
      readError_ = ReplyStateText(state);
      break;
    }
    std::size_t count = 0;
    const ReceiveStatus status = connection_->Closed() ? ReceiveStatus::Closed
                                 : connection_->Now() >= deadline
                                     ? ReceiveStatus::TimedOut
                                     : connection_->Receive(chunk, sizeof chunk, deadline, count);
    if (status == ReceiveStatus::Data && count > 0 && count <= sizeof chunk) {
      pending_.assign(chunk, count);
      continue;
    }
    readError_ = status == ReceiveStatus::TimedOut ? "no reply in time"
                 : status == ReceiveStatus::Closed ? "connection closed by the server"
                                                   : "connection failed";
    break;
  }
  broken_ = true;
  return false;
}

bool TSmtp::Fail(const std::string& what, const SmtpReply* reply) {
  const bool replied = reply && !reply->lines.empty();
  error_ = what + " (" + (replied ? reply->firstLine : readError_) + ")";
  return false;
}

}  // namespace ostrel::delivery
