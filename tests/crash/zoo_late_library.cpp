// A library the program loads long after start-up, which starts a thread of
// its own, as GoldMine's API library does.
#include <windows.h>

namespace {

DWORD WINAPI Waits(void* event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return 0;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD StartLateThread(HANDLE event) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Waits, event, 0, &id);
  if (!thread) return 0;
  CloseHandle(thread);
  return id;
}
