#pragma once
// Process-wide tuning of how bug reports travel: time-outs, SMTP names and
// overrides, the HTTP proxy and certificate handling, and keeping reports
// that could not be delivered. Every module's copy of the reporter in the
// process has its own; set it early, from the thread that starts the program.
#include <string>

namespace ostrel {

struct DeliveryTuning {
  // SMTP: seconds for connecting and for each wait for data.
  int smtpTimeoutSeconds = 7;
  // SMTP: the port of direct delivery to a recipient's mail server.
  int directSmtpPort = 25;
  // SMTP: the name EHLO and HELO give; empty: the computer's name.
  std::u16string heloName;
  // SMTP: MAIL FROM and From in place of the sender; empty: the sender.
  std::u16string senderOverride;
  // SMTP: Reply-To in place of the sender; empty: the sender.
  std::u16string replyToOverride;
  // Header words, bodies and form values always as UTF-8.
  bool alwaysUtf8 = false;
  // SMTP: the server's TLS certificate is not checked.
  bool skipSmtpCertificateCheck = true;
  // HTTP: the proxies ("host:port", separated by ";") and the hosts that
  // bypass them; empty: the system's settings, found when a direct request
  // fails.
  std::u16string httpProxies, httpProxyBypass;
  std::u16string httpProxyUser, httpProxyPassword;
  // HTTP: certificates of unknown authority, wrong name or out of date are
  // accepted.
  bool ignoreHttpCertificateErrors = true;
  // HTTP: a redirect's target opens in the browser.
  bool openRedirectTargets = true;
  // Plain uploads: UTF-8 values unencoded, without transfer-encoding lines.
  bool rawUtf8UploadValues = true;
  // Plain uploads: "MailFrom" and "MailAddr" as bare addresses.
  bool bareUploadAddresses = true;
};

void SetDeliveryTuning(const DeliveryTuning& tuning);
DeliveryTuning CurrentDeliveryTuning();

}  // namespace ostrel
