#pragma once
// The thread registry: one list per process (shared by every module that
// carries the reporter) of every thread's name, class, creator and handle.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ostrel::rt {

void OpenThreadRegistry();
void CloseThreadRegistry();
// A null name or class leaves that part as it is; an entry without handle,
// name and creator is removed.
void UpdateThreadEntry(DWORD threadId, HANDLE handle, const std::u16string* name,
                       DWORD creatorThreadId, std::uintptr_t creatorAddress,
                       const std::u16string* className);
void RemoveThreadEntry(DWORD threadId);
// Runs work while the thread's entry is held in the registry: a thread that
// ends through the registry cannot be on its way out meanwhile. False (and
// work not run) when the thread has no entry or the registry stays busy for
// 50 ms; the readers below likewise give up after 50 ms.
bool WhileRegistered(DWORD threadId, const std::function<void()>& work);
std::u16string ThreadName(DWORD threadId);
HANDLE ThreadRegistryWatcherMutex();

// Every thread of the registry with the address that created it.
struct ThreadCreator {
  DWORD threadId;
  std::uintptr_t creatorAddress;
  std::u16string name, className;
  DWORD creatorThreadId;
};
std::vector<ThreadCreator> ThreadCreators();

}  // namespace ostrel::rt
