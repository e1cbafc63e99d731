#pragma once
// The kinds and codes a report carries; their values travel in records and
// through the interfaces, so they are fixed.

#include <cstdint>

namespace ostrel {

// The exception type a report carries.
enum class ReportKind : std::uint8_t { Exception = 0, Frozen = 1, Hidden = 2 };

// How an exception is shown (the F1ShowCfg, F2ShowCfg and GnShowCfg settings).
enum class ShowMode : std::int32_t {
  Box = 0,               // the exception box
  Assistant = 1,         // the group's assistant instead of the box
  PlainWithDetails = 2,  // a plain box with a details button
  Plain = 3,             // a plain box
  Nothing = 4,           // nothing is shown
};

// Where an exception was intercepted.
enum InterceptionSource : std::uint8_t {
  kSourceDirect = 0,           // ReportException called by the program or the reporter
  kSourceFreeze = 1,           // the freeze watcher
  kSourceWindowProc = 5,       // escaped a window procedure or callback
  kSourceSynchronize = 10,     // raised by a call run on the main thread for another thread
  kSourceRuntimeError = 11,    // the run-time's final error (abort, terminate, pure call...)
  kSourceLibraryInit = 12,     // a library's initialisation
  kSourceUnhandled = 13,       // nobody handled it in its thread
  kSourceUnmappedSystem = 14,  // a system exception the run-time has no class for
  kSourceHidden = 15,          // handled by the program itself (hidden-exception handlers)
};

// Action codes handed to action handlers.
enum ReportAction : int {
  kActionSend = 0,
  kActionSave = 1,
  kActionPrint = 2,
  kActionSendAssistant = 3,
  kActionSaveAssistant = 4,
  kActionPrintAssistant = 5,
  kActionSent = 6,
  kActionSaved = 7,
  kActionPrinted = 8,
  kActionDetails = 9,
  kActionHelp = 10,
  kActionContinue = 11,
  kActionRestart = 12,
  kActionClose = 13,
};

}  // namespace ostrel
