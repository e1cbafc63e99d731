// The library of zoo_registry_unload: its own copy of the reporter names
// threads, and the program unloads it afterwards.
#include <windows.h>

#include "ostrel/ostrel.h"

extern "C" __declspec(dllexport) void NameThreads(DWORD worker) {
  ostrel::SetThreadName(worker, u"named by the library");
  ostrel::SetThreadName(GetCurrentThreadId(), u"main, named by the library");
}
