#pragma once
// System exception codes as the run-time's exception classes, with the
// run-time's own texts.

#include <windows.h>

#include <cstdint>
#include <exception>

#include "ostrel/ostrel.h"

namespace ostrel::rt {

// The system exception a code stands for, as the run-time names it.
struct SystemExceptionClass {
  std::exception_ptr object;  // null: the run-time has no class for it
  InterceptionSource source = kSourceUnhandled;
};
SystemExceptionClass MapSystemException(const EXCEPTION_RECORD& record);

}  // namespace ostrel::rt
