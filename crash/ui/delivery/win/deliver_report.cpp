#include "crash/ui/delivery/win/deliver_report.h"

#include <atomic>
#include <memory>
#include <vector>

#include "crash/imaging/win/zip_file_system_win32.h"
#include "crash/report/file/report_save.h"
#include "crash/report/file/win/file_store.h"
#include "crash/settings/settings_lists.h"
#include "crash/ui/delivery/attachment_plan.h"
#include "crash/ui/delivery/win/mailto_launch.h"
#include "crash/ui/delivery/win/simple_mapi.h"

namespace ostrel::delivery {

namespace {

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

bool Exists(const std::u16string& path) {
  return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

std::u16string FileNameOf(const std::u16string& path) {
  return path.substr(path.find_last_of(u"\\/") + 1);
}

std::u16string Text(IExceptionReport& r, const char* name) {
  std::u16string out;
  ComPtr<ISettingsLookup> lookup =
      ComPtr<IExceptionReport>(&r).As<ISettingsLookup>(kIidSettingsLookup);
  if (lookup) lookup->LookupText(name, out);
  return out;
}

bool Flag(IExceptionReport& r, const char* name) {
  ComPtr<ISettingsLookup> lookup =
      ComPtr<IExceptionReport>(&r).As<ISettingsLookup>(kIidSettingsLookup);
  return lookup && lookup->LookupBool(name);
}

int Number(IExceptionReport& r, const char* name) {
  ComPtr<ISettingsLookup> lookup =
      ComPtr<IExceptionReport>(&r).As<ISettingsLookup>(kIidSettingsLookup);
  return lookup ? lookup->LookupInt(name) : 0;
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
  std::vector<MailFile> files;
  bool deleteReportFile = false;
  std::u16string screenshotFile;
};

Prepared PrepareAttachments(const DeliveryRequest& q, IExceptionReport& r) {
  Prepared out;
  std::vector<AttachmentSpec> items;
  if (Flag(r, "AttachBugRep")) {
    std::u16string reportFile = q.reportFile;
    if (!Exists(reportFile) && !q.reportFileFallback.empty()) reportFile = q.reportFileFallback;
    std::u16string copy = q.tempFolder + FileNameOf(reportFile);
    bool copied = false;
    if (Flag(r, "AttachBugRepFile") && CopyFileW(Wide(reportFile), Wide(copy), FALSE)) {
      copied = true;
      out.deleteReportFile = Flag(r, "DelBugRepFile");
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
      items.push_back({copy, Text(r, "BugRepSendAs"), Text(r, "BugRepZip"), u"BugReport"});
    else
      out.deleteReportFile = false;
  }
  if (q.screenshot) {
    const std::u16string png = q.tempFolder + u"screenShot.png";
    DeleteFileW(Wide(png));
    if (q.screenshot->WritePngFile(Wide(png), PngMode(Number(r, "ScrShotDepth")))) {
      out.screenshotFile = png;
      items.push_back({png, Text(r, "ScrShotSendAs"), Text(r, "ScrShotZip"), u"ScreenShot"});
    }
  }
  for (const AttachmentSpec& extra : ParseAttachmentList(Text(r, "AddAttachs")))
    items.push_back(extra);

  const AttachmentPlan plan = PlanAttachments(items, q.tempFolder, Exists);
  std::vector<bool> packed(plan.archives.size(), false);
  for (std::size_t i = 0; i < plan.archives.size(); ++i) {
    const PlannedArchive& a = plan.archives[i];
    std::vector<std::wstring> files, names;
    for (const auto& f : a.files) files.emplace_back(Wide(f));
    for (const auto& n : a.names) names.emplace_back(Wide(n));
    packed[i] = WriteZipArchive(Wide(a.path), files, names);
  }
  for (const PlannedFile& f : plan.files)
    if (f.archive < 0 || packed[static_cast<std::size_t>(f.archive)])
      out.files.push_back({f.path, f.sendAs});
  return out;
}

DeliveryResult Deliver(const DeliveryRequest& q) {
  IExceptionReport& r = *q.report;
  const std::u16string recipients = Text(r, "MailAddr");
  std::u16string subject = Text(r, "MailSubj"), body = Text(r, "MailBody");
  if (q.expand) {
    subject = q.expand(subject);
    body = q.expand(body);
  }
  const bool mapi = Flag(r, "MailViaMapi");
  Prepared prepared;
  if (mapi || Flag(r, "MailAsSmtpServer") || Flag(r, "MailAsSmtpClient") ||
      Flag(r, "UploadViaHttp") || Flag(r, "FogBugz") || Flag(r, "BugZilla") || Flag(r, "Mantis"))
    prepared = PrepareAttachments(q, r);

  DeliveryResult result = kNotDelivered;
  // HTTP, the bug trackers and SMTP come here, in that order.
  if (!prepared.screenshotFile.empty() && !mapi) DeleteFileW(Wide(prepared.screenshotFile));
  if (result == kNotDelivered && mapi && !(q.waitingIsUnsafe && q.waitingIsUnsafe(250))) {
    MapiMail mail{recipients, subject, body, prepared.files, q.automatic, q.parent};
    const MapiResult sent = SendThroughMapi(mail);
    if (sent == kMapiCancelled) return kUserCancelled;
    if (sent == kMapiSent) result = kDelivered;
  }
  if (result == kNotDelivered && Flag(r, "MailViaMailto") && !q.automatic) {
    prepared.deleteReportFile = false;
    if (q.parent) SetWindowPos(q.parent, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The link cannot carry files: the report goes in the body.
    const std::u16string text = prepared.files.empty() ? body : q.reportText;
    if (OpenMailtoLink(recipients, subject, text)) result = kDelivered;
  }
  if (result == kNotDelivered && !q.automatic) {
    const std::u16string failed = Text(r, "SendFailMsg");
    MessageBoxW(q.parent, Wide(failed), L"", MB_OK | MB_ICONERROR);
  }
  if (result == kDelivered) {
    if (q.delivered) q.delivered();
    if (prepared.deleteReportFile && Flag(r, "DelBugRepFile")) {
      SetFileAttributesW(Wide(q.reportFile), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(Wide(q.reportFile));
    }
  }
  if (!prepared.screenshotFile.empty()) DeleteFileW(Wide(prepared.screenshotFile));
  return result;
}

// Deliveries running on threads of their own.
std::atomic<int> g_backgroundDeliveries{0};

DWORD WINAPI DeliveryThread(void* parameter) {
  {
    std::unique_ptr<DeliveryRequest> q(static_cast<DeliveryRequest*>(parameter));
    Deliver(*q);
  }
  --g_backgroundDeliveries;
  return 0;
}

}  // namespace

DeliveryResult DeliverReport(DeliveryRequest request, HANDLE* thread) {
  if (request.reportText.empty() || !request.report) return kNotDelivered;
  if (request.background && !(request.waitingIsUnsafe && request.waitingIsUnsafe(250))) {
    if (request.parent)
      SetWindowPos(request.parent, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    auto* copy = new DeliveryRequest(request);
    copy->parent = nullptr;
    copy->background = false;
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
  return Deliver(request);
}

void WaitForBackgroundDeliveries() {
  while (g_backgroundDeliveries.load() > 0) Sleep(50);
}

}  // namespace ostrel::delivery
