#pragma once
// The automatic save of a report into the bug report file at the end of
// handling (AutoSave).

#include <string>

namespace ostrel {
class TExceptionReport;
}

namespace ostrel::rt {

bool SaveBugReportAutomatically(TExceptionReport& report, const std::u16string& text);

}  // namespace ostrel::rt
