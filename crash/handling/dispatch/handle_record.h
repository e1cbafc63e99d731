#pragma once
// The handling of one exception, from its record to the program going on,
// restarting or ending.

#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/exception_report/exception_report.h"

namespace ostrel::rt {

// The handling of one record (on the handler thread, or on the raising
// thread when waiting is unsafe).
void HandleRecord(const ExceptionMessageRecord& record);
// The end of handling: waits for the complete report when someone needs it.
void FinishHandling(TExceptionReport& report, bool waitForSending);

}  // namespace ostrel::rt
