#include "crash/handling/exception_report/report_sending.h"

#include "crash/handling/exception_report/automatic_save.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/report/file/report_path.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/sending/win/deliver_report.h"
#include "ostrel/ostrel.h"

namespace ostrel::rt {

int SendBugReport(TExceptionReport& report, const std::u16string& text, HWND window, bool automatic,
                  bool background, void (*delivered)(TExceptionReport&)) {
  if (report.AttachScreenShot()) report.TakeScreenShot();
  const ReportOutputSettings output = OutputSettingsOf(report);
  sending::DeliveryRequest q;
  q.reportText = text;
  if (report.AttachScreenShot() && report.Screenshot())
    q.screenshot = NVBitmapPtr(report.Screenshot());
  q.parent = window;
  q.automatic = automatic;
  q.background = background;
  q.settings = ComPtr<IExceptionReport>(&report).As<ISettingsLookup>(kIidSettingsLookup);
  q.tempFolder = TempFolder();
  q.reportFile = AbsoluteReportPath(output.bugRepFile, output.exeFolder);
  q.reportFileFallback = output.fallback;
  q.rules = output.rules;
  q.reportSaved = report.SavedFlag();
  q.waitingIsUnsafe = [](DWORD ms) { return WaitingIsUnsafe(ms); };
  std::u16string cls, msg, details;
  report.ExceptionClassName(cls);
  report.ExceptionText(msg);
  if (IReportFields* sections = report.ReportSections())
    sections->FieldContents(u"error details", details);
  const ModuleHandle module = report.OwnerModule();
  q.expand = [module, cls, msg, details, text](const std::u16string& t) {
    return ExpandPlaceholders(module, t, cls, details, text, msg);
  };
  TExceptionReport* target = &report;
  q.delivered = [target, delivered] {
    target->SetSentFlag(true);
    if (delivered) delivered(*target);
  };
  HANDLE* slot = report.SendThreadSlot();
  if (*slot) {
    CloseHandle(*slot);
    *slot = nullptr;
  }
  return sending::DeliverReport(std::move(q), slot);
}

}  // namespace ostrel::rt
