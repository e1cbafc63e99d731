#pragma once
// The call stacks of the process's threads for a report (Win32 side of the
// stack walk in crash/report/stack).
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "crash/report/stack/stack_trace.h"

namespace ostrel {

struct ThreadWalkOptions {
  bool hideUglyItems = false;
  bool showRelativeAddresses = true;
  bool showRelativeLines = true;
  // Where the walks are: the entry's index and its position (0 … 1000).
  std::atomic<int>* area = nullptr;
  std::atomic<int>* position = nullptr;
  // What the walk asks of the reporter's thread bookkeeping. whileRegistered
  // runs work while the thread's registry entry is held (false, work not
  // run: no entry); serviceThread names this thread as the reporter's own
  // (true) and forgets it (false). Either may be empty.
  std::function<bool(DWORD threadId, const std::function<void()>& work)> whileRegistered;
  std::function<void(bool start)> serviceThread;
  // The walk runs on the calling thread: no thread can start (the loader
  // lock is held).
  bool inPlace = false;
  // Whether a thread started now can be waited for: one cannot start while
  // another thread holds the loader lock. False (or inPlace) walks on the
  // calling thread; empty: it can.
  std::function<bool()> threadCanBeAwaited;
};

// One thread to walk, and what the walk gave.
struct ThreadWalk {
  DWORD threadId = 0;
  bool exceptionThread = false;  // the walk shows the exception's location
  bool external = false;         // a processor exception
  std::uintptr_t address = 0;    // the exception's address; 0: none
  std::uintptr_t stackPointer = 0, framePointer = 0;
  std::uint32_t stackTop = 0;  // 0: the top of the region holding the stack pointer
  std::uintptr_t creator = 0;  // return address of the call that created the thread
  const std::string* prepared = nullptr;
  // The context is the thread's own, read again just before the walk, and
  // its instruction pointer; atInstruction: that is the walk's first line.
  bool live = false, atInstruction = false;
  std::uintptr_t instruction = 0;
  bool readable = false;  // the context (or the exception's one) is known
  bool gone = false;      // read once, but no longer readable at the walk
  bool failed = false;
  TWalkResult result;
  TStackTrace trace;
};

// Reads a thread's stack and frame pointer (suspending it for a moment);
// false when it cannot be read. suspended: it was suspended already.
bool ReadThreadState(ThreadWalk& walk, bool& suspended, const ThreadWalkOptions& options);

// Walks every readable entry, one after the other, on a thread of its own.
void WalkThreads(std::vector<ThreadWalk>& walks, const ThreadWalkOptions& options,
                 const std::atomic<bool>* cancel, std::vector<std::u16string>* minimalDebugInfo);

// The one-line form of an address.
std::u16string FormatAddress(std::uintptr_t address, const ThreadWalkOptions& options);

}  // namespace ostrel
