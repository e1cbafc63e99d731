#pragma once
// The freeze watcher: a thread that keeps asking the main thread for a sign
// of life and reports it frozen when none comes for the timeout.

#include <windows.h>

#include <cstdint>

namespace ostrel::rt {

void StartFreezeWatch(std::int32_t timeoutMs);
void StopFreezeWatch();
// The main thread's answer to a probe; false for other messages.
bool AnswerFreezeProbe(UINT message, WPARAM target);

}  // namespace ostrel::rt
