#pragma once
// What a server's EHLO reply offers that the session cares about: STARTTLS
// and the LOGIN mechanism of AUTH. Keywords compare without regard to case.

#include "crash/ui/delivery/smtp_reply.h"

namespace ostrel::delivery {

struct SmtpExtensions {
  bool startTls = false;
  bool auth = false;       // any AUTH line
  bool authLogin = false;  // an AUTH line naming LOGIN
};

// The lines after the first; "AUTH=LOGIN" (the old form) counts as
// "AUTH LOGIN". A HELO reply offers nothing.
SmtpExtensions ReadExtensions(const SmtpReply& ehloReply);

}  // namespace ostrel::delivery
