#include "crash/handling/exception_report/unsent_offer.h"

#include "crash/handling/exception_report/automatic_save.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/report/file/report_path.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/sending/win/unsent_reports.h"
#include "ostrel/ostrel.h"

namespace ostrel::rt {

void OfferUnsentReports() {
  ComPtr<IReporterModuleSettings> global = GlobalSettings();
  if (!global) return;
  ComPtr<ISettingsLookup> lookup = global.As<ISettingsLookup>(kIidSettingsLookup);
  if (!lookup || !lookup->LookupBool("KeepUnsent")) return;
  const ReportOutputSettings output = OutputSettingsOf(*lookup);
  if (output.bugRepFile.empty()) return;
  sending::DeliveryRequest q;
  q.settings = lookup;
  q.tempFolder = TempFolder();
  q.reportFile = AbsoluteReportPath(output.bugRepFile, output.exeFolder);
  q.reportFileFallback = output.fallback;
  q.rules = output.rules;
  // The report was saved when it was made (or could not be).
  q.reportSaved = true;
  q.waitingIsUnsafe = [](DWORD ms) { return WaitingIsUnsafe(ms); };
  const ModuleHandle module = global->OwnerModule();
  std::u16string title;
  lookup->LookupText("TitleBar", title);
  title = ExpandPlaceholders(module, title, u"", u"", u"", u"");
  sending::OfferUnsentReportsLater(std::move(q), std::move(title), module);
}

}  // namespace ostrel::rt
