#pragma once
// An assistant shown for an exception: built by name from the report's
// settings, its values put into the report when the user went through it,
// and kept in the settings' form cache either way.

#include <windows.h>

#include <string>

#include "crash/ui/assistant/win/nv_assistant.h"
#include "ostrel/exception_report.h"

namespace ostrel {

enum class AssistantOutcome { Missing, Completed, Cancelled };

// `owner` (may be null) is disabled, and loses its top-most state, while
// the pages show.
AssistantOutcome RunReportAssistant(IExceptionReport& report, const std::u16string& name,
                                    HWND owner, const AssistantHost& host);

// A completed assistant's values into the report's header and sections.
void StoreAssistantValues(TNVAssistant& assistant, IExceptionReport& report);

}  // namespace ostrel
