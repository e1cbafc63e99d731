#pragma once
// Cooperative pausing of the program's threads while an exception is
// handled (PauseThreads): the message-retrieval functions are patched, and a
// thread that asks for a message while the pause holds waits.

#include <windows.h>

namespace ostrel::rt {

// The main thread pauses on its own event; `wake` sends it past its wait for
// a message so that it meets the pause.
void SetPauseMainThread(DWORD mainThreadId, void (*wake)());
// Patched before the program's loops run (see thread_pause.cpp).
void PrepareThreadPausing();
void PauseThreads(DWORD exempt);
void ResumeThreads();
// Around a handler the main thread runs: it alone goes on meanwhile.
void ResumeMainThreadOnly();
void PauseMainThreadAgain();
void EndThreadPausing();

}  // namespace ostrel::rt
