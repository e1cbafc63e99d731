#pragma once
// Redirecting the one call inside the system's CreateThread that every thread
// of the process passes through (its call of CreateRemoteThreadEx), so that
// threads created by libraries loaded later are seen as well.
#include <windows.h>

#include <cstdint>

namespace ostrel::rt {

using CreateRemoteThreadExFn = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T,
                                               LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                               LPPROC_THREAD_ATTRIBUTE_LIST, LPDWORD);

struct CreationCallPatch {
  std::uint32_t at = 0;        // the patched call instruction
  std::uint8_t saved[6] = {};  // its bytes before
  std::uint8_t length = 0;
  CreateRemoteThreadExFn real = nullptr;
};

// Points CreateThread's call of CreateRemoteThreadEx at hook; false (and
// nothing changed) when the call cannot be found.
bool PatchCreationCall(CreateRemoteThreadExFn hook, CreationCallPatch& patch);
// The call's bytes back; the hook may still be running and keeps real.
void RestoreCreationCall(CreationCallPatch& patch);

// True when the address lies in one of the system's own modules that a
// thread's creation passes through (kernel32, kernelbase, ntdll).
bool InSystemThreadModule(std::uintptr_t address);

}  // namespace ostrel::rt
