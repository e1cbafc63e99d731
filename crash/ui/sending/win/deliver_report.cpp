#include "crash/ui/sending/win/deliver_report.h"

#include <atomic>
#include <memory>
#include <vector>

#include "crash/imaging/win/zip_file_system_win32.h"
#include "crash/report/file/report_save.h"
#include "crash/report/file/text_fields.h"
#include "crash/report/file/win/file_store.h"
#include "crash/settings/settings_lists.h"
#include "crash/ui/delivery/attachment_plan.h"
#include "crash/ui/delivery/mail_address.h"
#include "crash/ui/delivery/win/mailto_launch.h"
#include "crash/ui/delivery/win/simple_mapi.h"
#include "crash/ui/sending/win/delivery_methods.h"
#include "crash/ui/sending/win/delivery_progress.h"
#include "crash/ui/sending/win/unsent_reports.h"

namespace ostrel::sending {

namespace {

using delivery::AttachmentPlan;
using delivery::MailFile;

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool Exists(const std::u16string& path) {
  return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

std::u16string FileNameOf(const std::u16string& path) {
  return path.substr(path.find_last_of(u"\\/") + 1);
}

std::u16string Text(ISettingsLookup& s, const char* name) {
  std::u16string out;
  s.LookupText(name, out);
  return out;
}

// Appends the report to `path` by the report file's rules (a new file
// holds it alone).
bool WriteReport(const DeliveryRequest& q, const std::u16string& path) {
  TWin32ReportFileStore store;
  return SaveReport(store, path, u"", q.reportText, q.rules).saved;
}

int PngMode(int depth) {
  switch (depth) {
    case 4:
      return 1;
    case 51200:
      return 2;
    case 102400:
      return 3;
    case 204800:
      return 4;
    case 307200:
      return 5;
    default:
      return 0;
  }
}

struct Prepared {
  std::vector<PreparedFile> files;
  bool deleteReportFile = false;
  std::u16string screenshotFile;
};

Prepared PrepareAttachments(const DeliveryRequest& q, ISettingsLookup& s) {
  Prepared out;
  std::vector<AttachmentSpec> items;
  if (s.LookupBool("AttachBugRep")) {
    std::u16string reportFile = q.reportFile;
    if (!Exists(reportFile) && !q.reportFileFallback.empty()) reportFile = q.reportFileFallback;
    std::u16string copy = q.tempFolder + FileNameOf(reportFile);
    bool copied = false;
    if (s.LookupBool("AttachBugRepFile") && CopyFileW(Wide(reportFile), Wide(copy), FALSE)) {
      copied = true;
      out.deleteReportFile = s.LookupBool("DelBugRepFile");
      if (!q.reportSaved && !WriteReport(q, copy)) copied = false;
    }
    if (!copied) {
      DeleteFileW(Wide(copy));
      if (!WriteReport(q, copy)) {
        DeleteFileW(Wide(copy));
        wchar_t tick[16];
        wsprintfW(tick, L"%X", GetTickCount());
        copy = q.tempFolder + reinterpret_cast<const char16_t*>(tick) + FileNameOf(reportFile);
        if (!WriteReport(q, copy)) DeleteFileW(Wide(copy));
      }
    }
    if (Exists(copy))
      items.push_back({copy, Text(s, "BugRepSendAs"), Text(s, "BugRepZip"), u"BugReport"});
    else
      out.deleteReportFile = false;
  }
  if (q.screenshot) {
    const std::u16string png = q.tempFolder + u"screenShot.png";
    DeleteFileW(Wide(png));
    if (q.screenshot->WritePngFile(Wide(png), PngMode(s.LookupInt("ScrShotDepth")))) {
      out.screenshotFile = png;
      items.push_back({png, Text(s, "ScrShotSendAs"), Text(s, "ScrShotZip"), u"ScreenShot"});
    }
  }
  for (const AttachmentSpec& extra : ParseAttachmentList(Text(s, "AddAttachs")))
    items.push_back(extra);

  const AttachmentPlan plan = delivery::PlanAttachments(items, q.tempFolder, Exists);
  std::vector<bool> packed(plan.archives.size(), false);
  for (std::size_t i = 0; i < plan.archives.size(); ++i) {
    const delivery::PlannedArchive& a = plan.archives[i];
    std::vector<std::wstring> files, names;
    for (const auto& f : a.files) files.emplace_back(Wide(f));
    for (const auto& n : a.names) names.emplace_back(Wide(n));
    packed[i] = WriteZipArchive(Wide(a.path), files, names);
  }
  for (const delivery::PlannedFile& f : plan.files)
    if (f.archive < 0 || packed[static_cast<std::size_t>(f.archive)])
      out.files.push_back({f.path, f.sendAs, f.field});
  return out;
}

// The sender: MailFrom, else the brand name with the first support address.
std::u16string SenderOf(ISettingsLookup& s, const std::u16string& recipients) {
  std::u16string from = Text(s, "MailFrom");
  if (from.empty() && !recipients.empty()) from = delivery::DefaultSender(recipients);
  return from;
}

std::vector<NameValue> ExtraFields(ISettingsLookup& s, const MethodInputs& in) {
  std::vector<NameValue> fields = ParseFieldList(Text(s, "AddFields"));
  const std::pair<const char16_t*, const std::u16string*> mail[] = {{u"MailFrom", &in.sender},
                                                                    {u"MailSubject", &in.subject},
                                                                    {u"MailBody", &in.body},
                                                                    {u"MailAddr", &in.recipients}};
  for (const auto& [name, value] : mail)
    if (!value->empty()) fields.emplace_back(name, *value);
  return fields;
}

struct Outcome {
  DeliveryResult result = kNotDelivered;
  bool partly = false;
  bool tried = false;  // some way was tried at all
  std::string reason;
};

Outcome Deliver(const DeliveryRequest& q) {
  ISettingsLookup& s = *q.settings;
  MethodInputs in;
  in.settings = &s;
  in.recipients = Text(s, "MailAddr");
  in.sender = SenderOf(s, in.recipients);
  in.subject = Text(s, "MailSubj");
  in.body = Text(s, "MailBody");
  if (q.expand) {
    in.subject = q.expand(in.subject);
    in.body = q.expand(in.body);
  }
  const std::u16string report = q.reportText;
  in.headerField = [report](const std::u16string& name) { return HeaderField(report, name); };
  in.tuning = CurrentDeliveryTuning();

  const bool mapi = s.LookupBool("MailViaMapi");
  const bool direct = s.LookupBool("MailAsSmtpServer"), client = s.LookupBool("MailAsSmtpClient");
  const bool http = s.LookupBool("UploadViaHttp") || s.LookupBool("FogBugz") ||
                    s.LookupBool("BugZilla") || s.LookupBool("Mantis");
  const bool online = direct || client || http;
  Prepared prepared;
  std::unique_ptr<TDeliveryProgress> progress;
  if (mapi || online) {
    // No window when nobody asked and AutoSendBox says so.
    std::unique_ptr<IProgressAlert> window;
    if (!q.automatic || s.LookupBool("AutoSendBox"))
      window = CreateProgressAlert(Text(s, "SendBoxTitle"), nullptr, u"");
    progress = std::make_unique<TDeliveryProgress>(
        std::move(window), [&s](const char* name) { return Text(s, name); });
    std::vector<const char*> areas{"PrepAttMsg"};
    if (online) {
      if (direct) areas.push_back("MxLookMsg");
      areas.push_back("ConnMsg");
      if (direct || client) areas.push_back("SendMailMsg");
      areas.push_back("SendAttMsg");
      areas.push_back("SendFinalMsg");
    }
    progress->Begin(areas);
    // A background delivery's window has no owner and takes no focus.
    progress->Show(q.background ? nullptr : q.parent, !q.background && q.parent);
    prepared = PrepareAttachments(q, s);
    in.files = prepared.files;
    in.extraFields = ExtraFields(s, in);
    in.progress = progress.get();
  }

  Outcome out;
  out.reason = "no way of sending is switched on";
  auto tried = [&out](const MethodOutcome& m) {
    out.tried = true;
    if (m.delivered) {
      out.result = kDelivered;
    } else {
      out.reason = m.error;
      out.partly = m.partly;
    }
  };
  if (http && !Text(s, "HttpServer").empty()) tried(SendByHttp(in));
  // A half-delivered report goes no further: another way would send it
  // twice.
  if (out.result == kNotDelivered && !out.partly) {
    if (direct) {
      if (!in.recipients.empty()) tried(SendBySmtp(in, true));
    } else if (client && !in.recipients.empty() && !Text(s, "SmtpServer").empty()) {
      tried(SendBySmtp(in, false));
    }
  }
  progress.reset();
  if (!prepared.screenshotFile.empty() && (out.result == kDelivered || !mapi))
    DeleteFileW(Wide(prepared.screenshotFile));

  if (out.result == kNotDelivered && !out.partly && mapi &&
      !(q.waitingIsUnsafe && q.waitingIsUnsafe(250))) {
    std::vector<MailFile> files;
    for (const PreparedFile& f : prepared.files) files.push_back({f.path, f.sendAs});
    delivery::MapiMail mail{in.recipients, in.subject, in.body, files, q.automatic, q.parent};
    const delivery::MapiResult sent = delivery::SendThroughMapi(mail);
    out.tried = true;
    if (sent == delivery::kMapiCancelled) {
      out.result = kUserCancelled;
    } else if (sent == delivery::kMapiSent) {
      out.result = kDelivered;
    } else {
      out.reason = "the mail program could not send it";
    }
  }
  if (out.result == kNotDelivered && !out.partly && s.LookupBool("MailViaMailto") && !q.automatic) {
    prepared.deleteReportFile = false;
    if (q.parent) SetWindowPos(q.parent, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The link cannot carry files: the report goes in the body.
    const std::u16string text = prepared.files.empty() ? in.body : q.reportText;
    out.tried = true;
    if (delivery::OpenMailtoLink(in.recipients, in.subject, text))
      out.result = kDelivered;
    else
      out.reason = "no mail program is registered for mailto: links";
  }
  if (out.result == kNotDelivered && !q.automatic)
    MessageBoxW(q.parent, Wide(Text(s, "SendFailMsg")), L"", MB_OK | MB_ICONERROR);
  if (out.result == kDelivered) {
    if (q.delivered) q.delivered();
    if (prepared.deleteReportFile && s.LookupBool("DelBugRepFile")) {
      SetFileAttributesW(Wide(q.reportFile), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(Wide(q.reportFile));
    }
  }
  if (!prepared.screenshotFile.empty()) DeleteFileW(Wide(prepared.screenshotFile));
  return out;
}

DeliveryResult DeliverAndKeep(const DeliveryRequest& q) {
  const Outcome out = Deliver(q);
  // A half-delivered report is not kept either: offering it again would
  // send it twice. Nor is one that no way was there for: every start would
  // offer it again.
  if (out.result == kNotDelivered && !out.partly && out.tried &&
      q.settings->LookupBool("KeepUnsent"))
    KeepUnsentReport(q.reportFile, q.reportText, out.reason);
  return out.result;
}

// Deliveries running on threads of their own.
std::atomic<int> g_backgroundDeliveries{0};

DWORD WINAPI DeliveryThread(void* parameter) {
  {
    std::unique_ptr<DeliveryRequest> q(static_cast<DeliveryRequest*>(parameter));
    DeliverAndKeep(*q);
  }
  --g_backgroundDeliveries;
  return 0;
}

}  // namespace

DeliveryResult DeliverReport(DeliveryRequest request, HANDLE* thread) {
  if (request.reportText.empty() || !request.settings) return kNotDelivered;
  if (request.background && !(request.waitingIsUnsafe && request.waitingIsUnsafe(250))) {
    if (request.parent)
      SetWindowPos(request.parent, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    auto* copy = new DeliveryRequest(request);
    copy->parent = nullptr;
    ++g_backgroundDeliveries;
    HANDLE started = CreateThread(nullptr, 0, DeliveryThread, copy, 0, nullptr);
    if (!started) --g_backgroundDeliveries;
    if (started) {
      if (thread)
        *thread = started;
      else
        CloseHandle(started);
      return kDelivered;
    }
    delete copy;
  }
  request.background = false;
  return DeliverAndKeep(request);
}

void WaitForBackgroundDeliveries() {
  while (g_backgroundDeliveries.load() > 0) Sleep(50);
}

}  // namespace ostrel::sending
