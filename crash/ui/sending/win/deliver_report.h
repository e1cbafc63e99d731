#pragma once
// Delivering one finished bug report: its attachments prepared, then the
// ways of sending the settings allow tried in their fixed order until one
// works; on a thread of its own when asked.

#include <windows.h>

#include <functional>
#include <string>

#include "crash/imaging/win/nv_bitmap.h"
#include "crash/report/file/report_file.h"
#include "ostrel/com_ptr.h"
#include "ostrel/exception_report.h"
#include "ostrel/reporter_settings.h"

namespace ostrel::sending {

enum DeliveryResult : int { kNotDelivered = 0, kDelivered = 1, kUserCancelled = 2 };

struct DeliveryRequest {
  std::u16string reportText;
  NVBitmapPtr screenshot;  // none: no screenshot goes along
  HWND parent = nullptr;
  bool automatic = false;
  bool background = false;
  ComPtr<ISettingsLookup> settings;  // the report's settings decide
  std::u16string tempFolder;         // with a trailing backslash
  std::u16string reportFile;         // BugRepFile made absolute
  std::u16string reportFileFallback;
  ReportFileRules rules;
  bool reportSaved = false;  // the report is in the report file already
  // Another thread holds the loader lock: no thread, no library now.
  std::function<bool(DWORD)> waitingIsUnsafe;
  // Placeholders with the exception's class, message, details and report.
  std::function<std::u16string(const std::u16string&)> expand;
  // Told once the report was delivered.
  std::function<void()> delivered;
};

// With `background`, a thread does the work and its handle goes to
// `thread` (closed when that is null); the result is then 1 at once.
DeliveryResult DeliverReport(DeliveryRequest request, HANDLE* thread);

// Waits until no delivery runs on a thread of its own: the program's end
// must not cut one off (each way of sending has time-outs of its own).
void WaitForBackgroundDeliveries();

}  // namespace ostrel::sending
