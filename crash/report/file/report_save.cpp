#include "crash/report/file/report_save.h"

namespace ostrel {

SaveOutcome SaveReport(IReportFileStore& store, const std::u16string& path,
                       const std::u16string& fallback, const std::u16string& report,
                       const ReportFileRules& rules) {
  SaveOutcome out;
  if (report.empty()) return out;
  out.path = path;
  if (!store.Open(path)) {
    if (fallback.empty()) return out;
    out.path = fallback;
    if (!store.Open(fallback)) return out;
  }
  std::string existing;
  if (!store.ReadAll(existing)) {
    // What cannot be read is not replaced.
    store.Close();
    return out;
  }
  const ComposedReportFile composed = ComposeReportFile(existing, report, rules);
  if (store.WriteBeside(composed.bytes) && store.PutInPlace()) {
    out.saved = true;
    out.count = composed.count;
  } else {
    store.DiscardBeside();
  }
  store.Close();
  return out;
}

}  // namespace ostrel
