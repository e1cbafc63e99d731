#pragma once
// Reports that no way of sending could deliver wait on disk (beside the
// report file, else in the user's application data) until the program's
// next start offers each of them once.
#include <string>
#include <vector>

#include "crash/ui/sending/win/deliver_report.h"

namespace ostrel::sending {

// False when neither place could be written.
bool KeepUnsentReport(const std::u16string& reportFile, const std::u16string& text,
                      const std::string& reason);

// The kept reports of this report file, oldest first, from both places.
std::vector<std::u16string> FindUnsentReports(const std::u16string& reportFile);

// When reports are kept: a thread that waits for the program's first
// window, then asks about each report ("UnsentMsg", with the reason it
// failed) and delivers the ones the user wants sent. `request` is complete
// but for the report text. A report is given up once it was offered; one
// that fails again is kept anew.
// Subject and body get their placeholders from each report and `module`'s
// settings.
void OfferUnsentReportsLater(DeliveryRequest request, std::u16string title, ModuleHandle module);

}  // namespace ostrel::sending
