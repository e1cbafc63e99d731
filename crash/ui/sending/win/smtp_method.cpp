#include <windows.h>

#include "crash/base/utf.h"
#include "crash/imaging/win/file_bytes.h"
#include "crash/ui/delivery/smtp_mail.h"
#include "crash/ui/delivery/win/socket_smtp_network.h"
#include "crash/ui/delivery/win/system_dns_network.h"
#include "crash/ui/sending/win/delivery_methods.h"
#include "crash/ui/sending/win/delivery_progress.h"

namespace ostrel::sending {

namespace {

// Attachments travel whole in memory; a file beyond this is left out
// rather than exhausting a crashed program's address space.
constexpr std::uint64_t kLargestAttachment = 256ull << 20;

std::u16string Text(ISettingsLookup& s, const char* name) {
  std::u16string out;
  s.LookupText(name, out);
  return out;
}

std::uint64_t UtcFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace

std::vector<LoadedFile> LoadPreparedFiles(const std::vector<PreparedFile>& files) {
  std::vector<LoadedFile> out;
  for (const PreparedFile& f : files) {
    auto bytes =
        ReadFileBytes(reinterpret_cast<const wchar_t*>(f.path.c_str()), kLargestAttachment);
    if (bytes) out.push_back({&f, std::move(*bytes)});
  }
  return out;
}

MethodOutcome SendBySmtp(const MethodInputs& in, bool direct) {
  ISettingsLookup& s = *in.settings;
  delivery::SmtpJob job;
  job.sender = in.sender;
  job.recipients = in.recipients;
  job.subject = in.subject;
  job.body = in.body;
  job.fileTime = UtcFileTime();
  for (LoadedFile& f : LoadPreparedFiles(in.files))
    job.attachments.push_back({f.file->sendAs, std::move(f.bytes)});
  if (!direct) {
    job.server = Text(s, "SmtpServer");
    job.port = s.LookupInt("SmtpPort");
    job.ssl = s.LookupBool("SmtpSsl");
    job.tls = s.LookupBool("SmtpTls");
    job.account = Text(s, "SmtpAccount");
    job.password = Text(s, "SmtpPassword");
  }
  delivery::SmtpTuning tuning;
  tuning.timeout = std::chrono::seconds(in.tuning.smtpTimeoutSeconds);
  tuning.directPort = in.tuning.directSmtpPort;
  tuning.heloName = Utf16ToUtf8(in.tuning.heloName);
  tuning.senderOverride = in.tuning.senderOverride;
  tuning.replyToOverride = in.tuning.replyToOverride;
  tuning.forceUtf8 = in.tuning.alwaysUtf8;

  MethodOutcome out;
  delivery::TSocketSmtpNetwork network(!in.tuning.skipSmtpCertificateCheck);
  delivery::TSystemDnsNetwork dns;
  out.delivered =
      delivery::SendSmtpMail(job, tuning, network, direct ? &dns : nullptr, in.progress, out.error);
  if (!out.delivered && out.error.empty()) out.error = "SMTP failed";
  return out;
}

}  // namespace ostrel::sending
