#pragma once
// What a registered handler is: a routine, or a method (a routine with the
// object it belongs to as first argument). Handlers set `handled` to stop
// or cancel what the flow would do next.

#include <cstdint>

#include "ostrel/report_types.h"

namespace ostrel {

class IExceptionReport;

// Where a handler runs.
enum class SyncMode : std::uint8_t {
  HandlerThread = 0,     // the thread that handles the exception
  MainThread = 1,        // the main thread, or not at all
  MainThreadOrHere = 2,  // the main thread, else the handling thread
};

using ExceptionHandlerRoutine = void (*)(IExceptionReport* report, bool& handled);
using ExceptionHandlerMethod = void (*)(void* object, IExceptionReport* report, bool& handled);

using ActionHandlerRoutine = void (*)(ReportAction action, IExceptionReport* report, bool& handled);
using ActionHandlerMethod = void (*)(void* object, ReportAction action, IExceptionReport* report,
                                     bool& handled);

using HiddenHandlerRoutine = void (*)(IExceptionReport* report, bool& handled);
using HiddenHandlerMethod = void (*)(void* object, IExceptionReport* report, bool& handled);

}  // namespace ostrel
