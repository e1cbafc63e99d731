#pragma once
// What every crash-zoo program shares: handlers that print each phase and
// action of the handling to standard output, for the runner to compare with
// the program's stated expectations.

#include <functional>

namespace zoo {

// Registers the printing handlers (phases 1 to 4 on the handling thread, and
// every action).
void Watch();

// Runs `work` on a new thread made with CreateThread and waits for it to end.
void InThread(const std::function<void()>& work);

// One line on standard output, unbuffered, as the runner reads it.
void Say(const char* format, ...);

}  // namespace zoo
