// One plain upload or bug-tracker submission over WinHTTP, as the command
// line describes it, for the host-side driver's peers: prints "sent" (with
// the new entry's id) or "failed: " and the reason.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "crash/base/utf.h"
#include "crash/base/win/wide_text.h"
#include "crash/settings/win/win_code_page.h"
#include "crash/ui/upload/bugzilla_submission.h"
#include "crash/ui/upload/fogbugz_submission.h"
#include "crash/ui/upload/mantis_submission.h"
#include "crash/ui/upload/plain_upload.h"
#include "crash/ui/upload/win/winhttp_exchange.h"
#include "tests/wine/delivery/http_probe_options.h"
#include "tests/wine/delivery/probe_batch.h"

namespace ostrel::upload::probe {
namespace {

// One line for the driver: line breaks in a server's text become blanks.
void PrintLine(FILE* to, std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), to);
  std::fflush(to);
}

int Failed(const std::string& reason) {
  PrintLine(stdout, "failed: " + reason);
  return 1;
}

bool ReadFileBytes(const std::u16string& path, std::string& bytes) {
  std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int Run(const HttpProbeOptions& o) {
  std::u16string server = o.server;
  // A plain upload posts to the address as written; the trackers add their
  // own pages below it.
  if (o.mode != u"upload" && server.ends_with(u'/')) server.pop_back();
  ServerAddress address;
  try {
    address = ParseServerAddress(server, o.port, o.ssl);
  } catch (const std::invalid_argument& e) {
    return Failed(e.what());
  }

  TrackerEntry entry;
  entry.title = o.title;
  entry.project = o.project;
  entry.area = o.area;
  entry.assignTo = o.assignTo;
  entry.version = o.version;
  entry.computerName = o.computer;
  entry.operatingSystem = o.os;
  entry.callstackCrc = o.crc;
  entry.sender = o.sender;
  if (!o.descriptionFile.empty()) {
    std::string text;
    if (!ReadFileBytes(o.descriptionFile, text))
      return Failed("cannot read " + Utf16ToUtf8(o.descriptionFile));
    entry.description = Utf8ToUtf16(text);
  }
  for (const ProbeAttachment& a : o.attachments) {
    FormFile file{a.field, a.name, {}};
    if (!ReadFileBytes(a.path, file.bytes)) return Failed("cannot read " + Utf16ToUtf8(a.path));
    entry.files.push_back(std::move(file));
  }

  TWinHttpExchange exchange(address, WinHttpSettings{});
  HttpClientSettings settings;
  settings.account = o.account;
  settings.password = o.password;
  settings.openRedirectTargets = o.openRedirects;
  settings.timeout = std::chrono::milliseconds(o.timeoutMs);
  HttpClient http(exchange, address, settings,
                  [](const std::string& url) { PrintLine(stdout, "redirect " + url); });
  const TrackerAccount account{o.trackerAccount, o.trackerPassword};
  const WinCodePage codePage;
  NoProgress progress;
  SubmissionResult result;
  try {
    if (o.mode == u"upload")
      result = UploadForm(http, o.sender, o.fields, entry.files, PlainUploadSwitches{}, progress,
                          codePage);
    else if (o.mode == u"fogbugz")
      result = SubmitToFogBugz(http, account, entry, progress, codePage);
    else if (o.mode == u"bugzilla")
      result = SubmitToBugzilla(http, account, entry, progress);
    else
      result = SubmitToMantis(http, account, entry, progress);
  } catch (const std::exception& e) {
    return Failed(e.what());
  }
  if (!result.ok) return Failed(result.error.empty() ? http.LastError() : result.error);
  PrintLine(stdout, result.id.empty() ? "sent" : "sent " + Utf16ToUtf8(result.id));
  return 0;
}

int RunArguments(const std::vector<std::u16string>& args) {
  std::string problem;
  const std::optional<HttpProbeOptions> options = ParseHttpProbeOptions(args, problem);
  if (!options) {
    PrintLine(stderr, problem);
    PrintLine(stdout, std::string("usage: ") + kHttpProbeUsage);
    return 2;
  }
  return Run(*options);
}

// "batch FILE": a command per line, its arguments separated by tabs, all
// in one process (each Wine start costs seconds under an emulator); each
// command's lines follow a line "case <n>".
int RunBatch(const std::u16string& path) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return Failed("cannot read the batch file");
  const std::u16string text = ostrel::Utf8ToUtf16(bytes);
  int number = 0;
  for (const std::vector<std::u16string>& args : ::probe::BatchCommands(text)) {
    PrintLine(stdout, "case " + std::to_string(++number));
    RunArguments(args);
  }
  return 0;
}

}  // namespace
}  // namespace ostrel::upload::probe

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::u16string> args;
  for (int i = 1; argv != nullptr && i < count; ++i) args.push_back(ostrel::FromWide(argv[i]));
  if (argv != nullptr) LocalFree(argv);
  if (args.size() == 2 && args[0] == u"batch") return ostrel::upload::probe::RunBatch(args[1]);
  return ostrel::upload::probe::RunArguments(args);
}
