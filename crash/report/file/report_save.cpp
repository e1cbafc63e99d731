#include "crash/report/file/report_save.h"

namespace ostrel {
namespace {

// Once let go, the file may be opened by another process for a moment.
bool PutInPlace(IReportFileStore& store) {
  PlaceOutcome placed = store.PutInPlace();
  for (int tries = 1; placed == PlaceOutcome::Busy && tries < kPlaceTries; ++tries) {
    store.Pause(kPlacePauseMs);
    placed = store.PutInPlace();
  }
  return placed == PlaceOutcome::Placed;
}

}  // namespace

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
  if (store.WriteBeside(composed.bytes) && PutInPlace(store)) {
    out.saved = true;
    out.count = composed.count;
  } else {
    store.DiscardBeside();
  }
  store.Close();
  return out;
}

}  // namespace ostrel
