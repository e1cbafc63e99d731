#pragma once
// The process around the handling: the temporary folder, the memory reserve,
// restart with its hand-over, and close.

#include <optional>
#include <string>

#include "crash/flow/exception_history.h"

namespace ostrel::rt {

// Ends the process with exit code 1.
[[noreturn]] void TerminateProgram();
// Starts the program again (with its own command line when none is given),
// hands the exception times to the new process, and ends with exit code 2.
[[noreturn]] void RestartProgram(const wchar_t* commandLine, const ExceptionHistory& history);
// The exception times an earlier process of this program handed over when it
// restarted, once it has ended; none when this process was not restarted.
std::optional<ExceptionHistory> TakeOverRestart();

void ClearTempFolder();

// Now, in whole seconds since 1 January 1601 (UTC): the exception times' unit.
std::uint64_t SecondsSince1601();

// Four 4 MB reservations and four 512 KB regions, given back when an
// exception arrives so that handling it has room.
void ReserveMemory();
void ReleaseMemory();

}  // namespace ostrel::rt
