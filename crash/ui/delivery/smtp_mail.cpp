#include "crash/ui/delivery/smtp_mail.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/smtp_session.h"

namespace ostrel::delivery {

namespace {

struct Parties {
  MailAddress sender, replyTo;
  std::vector<MailAddress> recipients;
};

bool ReadParties(const SmtpJob& job, const SmtpTuning& tuning, Parties& parties,
                 std::string& error) {
  for (const std::u16string& text : SplitAddressList(job.recipients)) {
    const std::optional<MailAddress> address = ParseMailAddress(text);
    if (!address) {
      error = "Bad recipient address (" + Utf16ToUtf8(text) + ")";
      return false;
    }
    parties.recipients.push_back(*address);
  }
  if (parties.recipients.empty()) {
    error = "No recipient";
    return false;
  }
  const std::u16string& senderText =
      !tuning.senderOverride.empty() ? tuning.senderOverride : job.sender;
  std::optional<MailAddress> sender =
      senderText.empty() ? parties.recipients.front() : ParseMailAddress(senderText);
  const std::u16string& replyText =
      !tuning.replyToOverride.empty() ? tuning.replyToOverride : job.replyTo;
  std::optional<MailAddress> replyTo = replyText.empty() ? sender : ParseMailAddress(replyText);
  if (!sender || !replyTo) {
    error = std::string("Bad ") + (sender ? "reply-to" : "sender") + " address (" +
            Utf16ToUtf8(sender ? replyText : senderText) + ")";
    return false;
  }
  parties.sender = *sender;
  parties.replyTo = *replyTo;
  return true;
}

MailMessage MessageFor(const SmtpJob& job, const SmtpTuning& tuning, const Parties& parties,
                       std::vector<MailAddress> to) {
  MailMessage message;
  message.from = parties.sender;
  message.to = std::move(to);
  message.replyTo = parties.replyTo;
  message.subject = job.subject;
  message.body = job.body;
  message.attachments = job.attachments;
  message.fileTime = job.fileTime;
  message.forceUtf8 = tuning.forceUtf8;
  return message;
}

// Connects, opens the session and sends; the progress moves on after
// connecting, after the head and after each attachment.
bool Deliver(ISmtpNetwork& network, const std::string& server, int port,
             const SmtpSessionOptions& options, const MailMessage& message, const Parties& parties,
             SendProgress& progress, std::string& error, bool& opened) {
  opened = false;
  std::unique_ptr<ISmtpConnection> connection =
      network.Connect(server, port, options.ssl, options.timeout, error);
  if (!connection) return false;
  TSmtp session(std::move(connection), options);
  if (!session.Open()) {
    error = session.LastError();
    return false;
  }
  opened = true;
  progress.Next();
  if (session.SendMessage(message, parties.sender, message.to, progress)) return true;
  error = session.LastError();
  return false;
}

}  // namespace

int SmtpPort(int port, bool ssl, bool tls, bool credentials) {
  if (port != 0) return port;
  if (ssl) return 465;
  return tls && credentials ? 587 : 25;
}

bool SendSmtpMail(const SmtpJob& job, const SmtpTuning& tuning, ISmtpNetwork& network,
                  IDnsNetwork* dns, ISendProgressSink* progressSink, std::string& lastError) {
  Parties parties;
  if (!ReadParties(job, tuning, parties, lastError)) return false;
  SmtpSessionOptions options;
  options.timeout = tuning.timeout;
  options.heloName = tuning.heloName.empty() ? network.ComputerName() : tuning.heloName;

  const bool direct = job.server.empty();
  std::vector<std::uint64_t> sizes;
  for (const MailAttachment& a : job.attachments) sizes.push_back(a.bytes.size());
  const std::vector<SendAreaWeight> areas = SmtpSendAreas(direct, parties.recipients.size(), sizes);
  SendProgress progress(progressSink);
  progress.SetAreas(areas);
  progress.Jump(1);
  bool opened = false;

  if (!direct) {
    options.ssl = job.ssl;
    options.tls = job.tls;
    options.account = job.account;
    options.password = job.password;
    const int port =
        SmtpPort(job.port, job.ssl, job.tls, !job.account.empty() || !job.password.empty());
    const bool sent = Deliver(network, Utf16ToUtf8(job.server), port, options,
                              MessageFor(job, tuning, parties, parties.recipients), parties,
                              progress, lastError, opened);
    progress.Jump(static_cast<int>(areas.size()));
    return sent;
  }

  // One message per recipient, to the best of its domain's mail servers
  // that takes the session; the next one is tried when one cannot.
  const int perRecipient = static_cast<int>(4 + sizes.size());
  bool anySent = false;
  for (std::size_t i = 0; i < parties.recipients.size(); ++i) {
    progress.Jump(1 + static_cast<int>(i) * perRecipient);
    const MailAddress& recipient = parties.recipients[i];
    const std::vector<std::string> servers =
        dns ? LookupMailServers(*dns, recipient.address) : std::vector<std::string>();
    progress.Next();
    if (servers.empty()) lastError = "No mail server for " + Utf16ToUtf8(recipient.address);
    const MailMessage message = MessageFor(job, tuning, parties, {recipient});
    for (const std::string& server : servers) {
      const bool sent = Deliver(network, server, tuning.directPort, options, message, parties,
                                progress, lastError, opened);
      anySent = anySent || sent;
      if (sent || opened) break;
    }
  }
  progress.Jump(static_cast<int>(areas.size()));
  return anySent;
}

}  // namespace ostrel::delivery
