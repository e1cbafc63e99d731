// smtp_probe: one mail through SendSmtpMail, or one MX lookup, with the
// Windows sockets, Schannel and the system's name servers. Prints "sent"
// or "failed: <reason>", the mail servers or "none"; the exit code says the
// same (2: bad arguments).
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "crash/base/utf.h"
#include "crash/ui/delivery/mx_lookup.h"
#include "crash/ui/delivery/smtp_mail.h"
#include "crash/ui/delivery/win/socket_smtp_network.h"
#include "crash/ui/delivery/win/system_dns_network.h"
#include "tests/wine/delivery/probe_batch.h"

namespace {

using namespace ostrel;
using namespace ostrel::delivery;

constexpr char kUsage[] =
    "usage: smtp_probe send [--server HOST] [--port N] [--ssl] [--tls] [--account A] "
    "[--password P] --from ADDR --to LIST --subject TEXT --body-file PATH [--attach PATH NAME]... "
    "[--timeout-ms N] [--direct-port N] [--helo NAME] [--validate]\n"
    "       smtp_probe mx ADDRESS\n"
    "       smtp_probe batch FILE   (a command per line, its arguments separated by tabs)";

// Files larger than this are no probe's mail.
constexpr LONGLONG kLargestFile = 256LL * 1024 * 1024;

int PrintLine(std::string line, int exitCode) {
  // One reason, one line, whatever a server put into it.
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') c = '?';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  return exitCode;
}

int Usage() { return PrintLine(kUsage, 2); }

std::optional<int> Number(const std::u16string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

bool ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
  HANDLE file =
      CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 && size.QuadPart <= kLargestFile;
  if (ok) {
    bytes.assign(static_cast<std::size_t>(size.QuadPart), 0);
    std::size_t at = 0;
    while (ok && at < bytes.size()) {
      DWORD got = 0;
      ok =
          ReadFile(file, bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &got, nullptr) &&
          got > 0;
      at += got;
    }
  }
  CloseHandle(file);
  return ok;
}

struct SendArguments {
  SmtpJob job;
  SmtpTuning tuning;
  bool validate = false;
};

// The arguments after "send"; nothing when one is unknown, lacks its
// value, or a required one is missing.
std::optional<SendArguments> ReadSendArguments(const std::vector<std::u16string>& args) {
  SendArguments out;
  bool from = false, to = false, subject = false, body = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::u16string& name = args[i];
    const auto value = [&](std::u16string& into) {
      if (i + 1 >= args.size()) return false;
      into = args[++i];
      return true;
    };
    const auto number = [&](int low, int high) -> std::optional<int> {
      if (i + 1 >= args.size()) return std::nullopt;
      return Number(args[++i], low, high);
    };
    if (name == u"--ssl") {
      out.job.ssl = true;
    } else if (name == u"--tls") {
      out.job.tls = true;
    } else if (name == u"--validate") {
      out.validate = true;
    } else if (name == u"--server") {
      if (!value(out.job.server) || out.job.server.empty()) return std::nullopt;
    } else if (name == u"--account") {
      if (!value(out.job.account)) return std::nullopt;
    } else if (name == u"--password") {
      if (!value(out.job.password)) return std::nullopt;
    } else if (name == u"--from") {
      if (!(from = value(out.job.sender))) return std::nullopt;
    } else if (name == u"--to") {
      if (!(to = value(out.job.recipients))) return std::nullopt;
    } else if (name == u"--subject") {
      if (!(subject = value(out.job.subject))) return std::nullopt;
    } else if (name == u"--helo") {
      std::u16string helo;
      if (!value(helo)) return std::nullopt;
      out.tuning.heloName = Utf16ToUtf8(helo);
    } else if (name == u"--port") {
      const std::optional<int> port = number(1, 65535);
      if (!port) return std::nullopt;
      out.job.port = *port;
    } else if (name == u"--direct-port") {
      const std::optional<int> port = number(1, 65535);
      if (!port) return std::nullopt;
      out.tuning.directPort = *port;
    } else if (name == u"--timeout-ms") {
      const std::optional<int> ms = number(1, 3600000);
      if (!ms) return std::nullopt;
      out.tuning.timeout = std::chrono::milliseconds(*ms);
    } else if (name == u"--body-file") {
      std::u16string path;
      std::vector<std::uint8_t> bytes;
      if (!value(path) || !ReadWholeFile(path, bytes)) return std::nullopt;
      std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
      out.job.body = Utf8ToUtf16(text);
      body = true;
    } else if (name == u"--attach") {
      if (i + 2 >= args.size()) return std::nullopt;
      MailAttachment attachment;
      if (!ReadWholeFile(args[i + 1], attachment.bytes)) return std::nullopt;
      attachment.name = args[i + 2];
      i += 2;
      out.job.attachments.push_back(std::move(attachment));
    } else {
      return std::nullopt;
    }
  }
  if (!from || !to || !subject || !body) return std::nullopt;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  out.job.fileTime = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return out;
}

int Send(const std::vector<std::u16string>& args) {
  std::optional<SendArguments> parsed = ReadSendArguments(args);
  if (!parsed) return Usage();
  TSocketSmtpNetwork network(parsed->validate);
  TSystemDnsNetwork dns;
  std::string lastError;
  if (SendSmtpMail(parsed->job, parsed->tuning, network, &dns, nullptr, lastError))
    return PrintLine("sent", 0);
  return PrintLine("failed: " + lastError, 1);
}

int Mx(const std::u16string& address) {
  TSystemDnsNetwork dns;
  const std::vector<std::string> servers = LookupMailServers(dns, address);
  if (servers.empty()) return PrintLine("none", 1);
  for (const std::string& server : servers) PrintLine(server, 0);
  return 0;
}

int Run(const std::vector<std::u16string>& args) {
  if (args.size() == 2 && args[0] == u"mx") return Mx(args[1]);
  if (!args.empty() && args[0] == u"send")
    return Send(std::vector<std::u16string>(args.begin() + 1, args.end()));
  return Usage();
}

// Many commands in one process: each Wine start costs seconds where the
// program runs under an emulator.
int RunBatch(const std::u16string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return Usage();
  const std::u16string text = Utf8ToUtf16(std::string(bytes.begin(), bytes.end()));
  int number = 0;
  for (const std::vector<std::u16string>& args : ::probe::BatchCommands(text)) {
    PrintLine("case " + std::to_string(++number), 0);
    Run(args);
  }
  return 0;
}

}  // namespace

int main() {
  // Lines end in LF alone, as the driver on the host reads them.
  _setmode(_fileno(stdout), _O_BINARY);
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return Usage();
  std::vector<std::u16string> args;
  for (int i = 1; i < count; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  LocalFree(argv);
  if (args.size() == 2 && args[0] == u"batch") return RunBatch(args[1]);
  return Run(args);
}
