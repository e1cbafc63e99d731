#pragma once
// Mail by SMTP: through a configured server (one message to all
// recipients), or directly (one message per recipient, to the mail server
// of its domain). A failure only makes the caller try its next method.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "crash/ui/delivery/mime_message.h"
#include "crash/ui/delivery/mx_lookup.h"
#include "crash/ui/delivery/send_progress.h"
#include "crash/ui/delivery/smtp_connection.h"

namespace ostrel::delivery {

// The process-wide tuning values.
struct SmtpTuning {
  std::chrono::milliseconds timeout{7000};  // connecting, and each reply
  int directPort = 25;
  std::string heloName;            // empty: the computer name
  std::u16string senderOverride;   // MAIL FROM and From
  std::u16string replyToOverride;  // Reply-To
  bool forceUtf8 = false;
};

struct SmtpJob {
  std::u16string sender;      // empty: the first recipient
  std::u16string recipients;  // separated by "," or ";"
  std::u16string replyTo;     // empty: the sender
  std::u16string subject, body;
  std::vector<MailAttachment> attachments;
  std::u16string server;  // empty: direct delivery
  int port = 0;           // 0: chosen by SmtpPort
  bool ssl = false, tls = false;
  std::u16string account, password;
  std::uint64_t fileTime = 0;  // the message's UTC time
};

// 465 with SSL; 587 with TLS and an account or a password; else 25.
int SmtpPort(int port, bool ssl, bool tls, bool credentials);

// True when the message reached the server (with direct delivery: when it
// reached any recipient's). `lastError` tells why not.
bool SendSmtpMail(const SmtpJob& job, const SmtpTuning& tuning, ISmtpNetwork& network,
                  IDnsNetwork* dns, ISendProgressSink* progressSink, std::string& lastError);

}  // namespace ostrel::delivery
