#pragma once
// Ends one of the reporter's threads, idle in an alertable wait, so that it
// runs none of this module's code again (see thread_end.cpp).

#include <windows.h>

namespace ostrel::rt {

void EndIdleThread(HANDLE thread, DWORD waitMs);

}  // namespace ostrel::rt
