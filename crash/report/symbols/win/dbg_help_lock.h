// The named mutex "OstrelDbgHelp" that serialises use of the debug-help
// library across the reporter's modules and processes.
#pragma once

#include <windows.h>

#include <atomic>

namespace ostrel {

// Creates or opens the mutex with just the rights waiting needs. Created
// here, any user and any integrity level of the session may wait on it, so a
// process of another account or an elevated one cannot shut this one out.
HANDLE OpenDbgHelpMutex();

class TDbgHelpLock {
 public:
  explicit TDbgHelpLock(DWORD waitMs) : waitMs_(waitMs) {}

  // The held mutex, or null when it was not had within the wait. Once a wait
  // has run out, later calls only try until the lock is had again: a stuck
  // holder costs a report one wait, not one per stack frame.
  HANDLE Acquire();
  static void Release(HANDLE held);

 private:
  DWORD waitMs_;
  std::atomic<bool> stuck_{false};
};

// Holds the lock for a scope.
class TDbgHelpHold {
 public:
  explicit TDbgHelpHold(TDbgHelpLock& lock) : held_(lock.Acquire()) {}
  ~TDbgHelpHold() {
    if (held_ != nullptr) TDbgHelpLock::Release(held_);
  }
  TDbgHelpHold(const TDbgHelpHold&) = delete;
  TDbgHelpHold& operator=(const TDbgHelpHold&) = delete;
  explicit operator bool() const { return held_ != nullptr; }

 private:
  HANDLE held_;
};

}  // namespace ostrel
