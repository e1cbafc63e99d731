#pragma once
// Saving with the user's choice of file, and printing, of one report.
#include <windows.h>

#include <string>

#include "crash/report/file/report_file.h"

namespace ostrel {

struct ReportOutputSettings {
  std::u16string bugRepFile;  // BugRepFile, placeholders expanded
  std::u16string saveTitle;   // SaveBtnTxt
  std::u16string printTitle;  // PrintBtnTxt
  std::u16string exeFolder;   // with its trailing "\"
  std::u16string fallback;    // where a file that cannot be opened goes; empty: nowhere
  ReportFileRules rules;
};

// Asks for the file in a save dialog owned by window, then saves there.
// False when cancelled or not saved.
bool SaveReportInteractively(const std::u16string& report, HWND window,
                             const ReportOutputSettings& settings);

// Prints the report on the printer the user picks, word-wrapped in Courier
// New 8 points. False when cancelled or when no document could be started.
bool PrintReportText(const std::u16string& report, HWND window,
                     const ReportOutputSettings& settings);

}  // namespace ostrel
