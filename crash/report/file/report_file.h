#pragma once
// How a new report joins the bug report file: a report that repeats one in
// the file replaces it and carries a "count", and old reports are dropped
// from the start when the file has grown past its limit. The file is UTF-8,
// each report followed by an empty line.
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

struct ReportFileRules {
  bool append = true;                // AppendBugReps
  std::uint32_t sizeLimit = 100000;  // BugRepFileSize; 0: none
  bool exceptionDuplicates = true;   // NoDupExcepts
  bool freezeDuplicates = true;      // NoDupFreezes
  int exceptionDuplicateLevel = 1;   // DupExceptDef
  int freezeDuplicateLevel = 2;      // DupFreezeDef
};

struct ComposedReportFile {
  std::string bytes;            // the file's whole new content
  std::u16string report;        // the new report as written (with its "count" line)
  int count = 0;                // that count; 0 when it repeats none
  bool oldFileReadable = true;  // false: not UTF-8, so no duplicate was looked for
};

// The file's new content once report joins a file that held existing (its
// bytes as read). Nothing of existing is lost except the one repeated report
// it replaces and the old reports the size limit drops.
ComposedReportFile ComposeReportFile(std::string_view existing, std::u16string report,
                                     const ReportFileRules& rules);

// The part of the "callstack crc" field that decides whether two reports
// are the same; empty when the report has none of the full 31 characters
// or duplicates are not looked for.
std::u16string DuplicateKey(std::u16string_view report, const ReportFileRules& rules);

}  // namespace ostrel
