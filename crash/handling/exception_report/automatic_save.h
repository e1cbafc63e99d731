#pragma once
// The automatic save of a report into the bug report file at the end of
// handling (AutoSave).

#include <string>

#include "crash/report/file/win/report_output.h"
#include "ostrel/reporter_settings.h"

namespace ostrel {
class TExceptionReport;
}

namespace ostrel::rt {

bool SaveBugReportAutomatically(TExceptionReport& report, const std::u16string& text);

// Where and by which rules the report's file is written.
ReportOutputSettings OutputSettingsOf(TExceptionReport& report);
ReportOutputSettings OutputSettingsOf(ISettingsLookup& settings);

// Saving where the user chooses (a dialog owned by window) and printing;
// false when cancelled or when nothing was written.
bool SaveBugReportInteractively(TExceptionReport& report, const std::u16string& text, void* window);
bool PrintBugReport(TExceptionReport& report, const std::u16string& text, void* window);

}  // namespace ostrel::rt
