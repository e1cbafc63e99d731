#include <windows.h>
#include <shellapi.h>

#include <stdexcept>

#include "crash/base/utf.h"
#include "crash/settings/win/win_code_page.h"
#include "crash/ui/sending/win/delivery_methods.h"
#include "crash/ui/sending/win/delivery_progress.h"
#include "crash/ui/upload/bugzilla_submission.h"
#include "crash/ui/upload/fogbugz_submission.h"
#include "crash/ui/upload/mantis_submission.h"
#include "crash/ui/upload/plain_upload.h"
#include "crash/ui/upload/win/winhttp_exchange.h"

namespace ostrel::sending {

namespace {

std::u16string Text(ISettingsLookup& s, const char* name) {
  std::u16string out;
  s.LookupText(name, out);
  return out;
}

void OpenInBrowser(const std::string& url) {
  const std::u16string wide = Utf8ToUtf16(url);
  ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr, nullptr,
                SW_SHOWNORMAL);
}

}  // namespace

MethodOutcome SendByHttp(const MethodInputs& in) {
  ISettingsLookup& s = *in.settings;
  MethodOutcome out;
  const bool plain =
      !s.LookupBool("FogBugz") && !s.LookupBool("BugZilla") && !s.LookupBool("Mantis");
  std::u16string address = Text(s, "HttpServer");
  if (!plain && !address.empty() && address.back() == u'/') address.pop_back();
  upload::ServerAddress server;
  try {
    server = upload::ParseServerAddress(address, s.LookupInt("HttpPort"), s.LookupBool("HttpSsl"));
  } catch (const std::invalid_argument& e) {
    out.error = std::string("HttpServer: ") + e.what();
    return out;
  }

  upload::WinHttpSettings web;
  web.proxy = in.tuning.httpProxies;
  web.proxyBypass = in.tuning.httpProxyBypass;
  web.proxyUser = in.tuning.httpProxyUser;
  web.proxyPassword = in.tuning.httpProxyPassword;
  web.ignoreCertificateErrors = in.tuning.ignoreHttpCertificateErrors;
  upload::TWinHttpExchange exchange(server, web);
  upload::HttpClientSettings client;
  client.account = Text(s, "HttpAccount");
  client.password = Text(s, "HttpPassword");
  client.proxyUser = in.tuning.httpProxyUser;
  client.proxyPassword = in.tuning.httpProxyPassword;
  client.openRedirectTargets = in.tuning.openRedirectTargets;
  upload::HttpClient http(exchange, server, client, OpenInBrowser);

  std::vector<upload::FormFile> files;
  for (LoadedFile& f : LoadPreparedFiles(in.files))
    files.push_back({f.file->field, f.file->sendAs, std::string(f.bytes.begin(), f.bytes.end())});
  upload::NoProgress silent;
  upload::IUploadProgress& progress =
      in.progress ? static_cast<upload::IUploadProgress&>(*in.progress) : silent;
  const WinCodePage codePage;

  upload::SubmissionResult result;
  if (plain) {
    std::vector<upload::FormField> fields;
    for (const NameValue& f : in.extraFields) fields.push_back({f.first, f.second});
    upload::PlainUploadSwitches switches;
    switches.rawUtf8Values = in.tuning.rawUtf8UploadValues;
    switches.bareAddresses = in.tuning.bareUploadAddresses;
    switches.alwaysUtf8 = in.tuning.alwaysUtf8;
    result =
        upload::UploadForm(http, in.sender, std::move(fields), files, switches, progress, codePage);
  } else {
    upload::TrackerEntry entry;
    entry.title = Text(s, "BugTrTitle");
    entry.description = Text(s, "BugTrDescr");
    entry.project = Text(s, "BugTrProject");
    entry.area = Text(s, "BugTrArea");
    entry.assignTo = Text(s, "BugTrAssignTo");
    if (in.headerField) {
      entry.version = in.headerField(u"version");
      entry.computerName = in.headerField(u"computer name");
      entry.operatingSystem = in.headerField(u"operating system");
      entry.callstackCrc = in.headerField(u"callstack crc");
    }
    entry.sender = in.sender;
    entry.files = std::move(files);
    const upload::TrackerAccount account{Text(s, "BugTrAccount"), Text(s, "BugTrPassword")};
    if (s.LookupBool("FogBugz"))
      result =
          upload::SubmitToFogBugz(http, account, entry, progress, codePage, in.tuning.alwaysUtf8);
    else if (s.LookupBool("BugZilla"))
      result = upload::SubmitToBugzilla(http, account, entry, progress);
    else
      result = upload::SubmitToMantis(http, account, entry, progress);
  }
  out.delivered = result.ok;
  out.partly = !result.ok && !result.id.empty();
  out.error = result.ok ? std::string() : result.error;
  if (!out.delivered && out.error.empty()) out.error = "the upload failed";
  return out;
}

}  // namespace ostrel::sending
