#pragma once
// Whether waiting for another thread is safe: a thread that holds the
// loader lock, the process-environment lock or a heap's lock would block
// whoever it waits for.

#include <windows.h>

namespace ostrel::rt {

// This thread runs a library's initialisation or finalisation.
bool LoaderLockHeldHere();
// True when waiting for another thread could dead-lock: the loader lock or
// the process-environment lock is held, polled every 10 ms for `waitMs`, or
// a heap's lock stays held for `waitMs`.
bool WaitingIsUnsafe(DWORD waitMs);
// False when a heap's lock stays held for `waitMs`.
bool HeapsFree(DWORD waitMs);
void StartHeapProbe();
void StopHeapProbe();

}  // namespace ostrel::rt
