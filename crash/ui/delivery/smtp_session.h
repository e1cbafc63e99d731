#pragma once
// One SMTP session over one connection: greeting, EHLO (HELO), STARTTLS,
// AUTH LOGIN, then one message, QUIT. Every failure ends the session with
// a reason in LastError(); every wait has a deadline.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "crash/ui/delivery/mime_message.h"
#include "crash/ui/delivery/send_progress.h"
#include "crash/ui/delivery/smtp_connection.h"
#include "crash/ui/delivery/smtp_data.h"
#include "crash/ui/delivery/smtp_extensions.h"
#include "crash/ui/delivery/smtp_reply.h"

namespace ostrel::delivery {

struct SmtpSessionOptions {
  bool ssl = false;  // the connection runs TLS from its start
  bool tls = false;  // STARTTLS asked for: a server without it gets no login, the session fails
  std::u16string account, password;
  std::string heloName;
  std::chrono::milliseconds timeout{7000};  // for each reply as a whole
};

class TSmtp {
 public:
  TSmtp(std::unique_ptr<ISmtpConnection> connection, SmtpSessionOptions options);
  // Unfinished: an open message is dropped by closing without its final
  // "." (ending it would deliver a cut message); otherwise RSET and QUIT.
  ~TSmtp();
  TSmtp(const TSmtp&) = delete;
  TSmtp& operator=(const TSmtp&) = delete;

  // Greeting, hello, STARTTLS and login.
  bool Open();
  // MAIL FROM `sender`, RCPT TO each of `recipients` (one must be
  // accepted), the message through DATA, then QUIT.
  bool SendMessage(const MailMessage& message, const MailAddress& sender,
                   const std::vector<MailAddress>& recipients, SendProgress& progress);

  const std::string& LastError() const { return error_; }
  bool StartTlsOffered() const { return startTlsOffered_; }
  bool StartTlsUsed() const { return startTlsUsed_; }
  bool Authenticated() const { return authenticated_; }

 private:
  bool ReadReply(SmtpReply& reply);
  // Sends `line` and reads its reply; false when no reply came.
  bool Command(const std::string& line, SmtpReply& reply);
  bool Fail(const std::string& what, const SmtpReply* reply);
  bool Hello(const char* failure);
  bool StartTls();
  bool LogIn();
  bool SendData(std::string_view bytes);
  bool SendBody(const MailMessage& message, SendProgress& progress);

  std::unique_ptr<ISmtpConnection> connection_;
  SmtpSessionOptions options_;
  SmtpExtensions extensions_;
  std::string pending_;  // received after the last reply
  std::string error_;
  std::string readError_;  // why the last ReadReply failed
  DotStuffer stuffer_;
  bool broken_ = false;  // nothing more can be said on the connection
  bool greeted_ = false, startTlsOffered_ = false, startTlsUsed_ = false;
  bool authenticated_ = false, dataStarted_ = false, dataFinished_ = false, quitSent_ = false;
};

}  // namespace ostrel::delivery
