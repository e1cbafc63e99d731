#pragma once
// Sending a report: the delivery asked for by the box's send action or by
// AutoSend, its background thread kept with the report so that the end of
// handling can wait for it.

#include <windows.h>

#include <string>

namespace ostrel {
class TExceptionReport;
}

namespace ostrel::rt {

// 0 not delivered, 1 delivered (or started in the background), 2 the user
// cancelled in the mail client. `delivered` runs once it was.
int SendBugReport(TExceptionReport& report, const std::u16string& text, HWND window, bool automatic,
                  bool background, void (*delivered)(TExceptionReport&));

}  // namespace ostrel::rt
