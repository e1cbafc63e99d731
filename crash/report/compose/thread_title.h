#pragma once
// The title of a thread's section: "main thread ($1a2c):",
// "thread $f04: <priority:2>", "thread $e8c (TWorker): <suspended>".
#include <cstdint>
#include <string>

namespace ostrel {

struct ThreadTitleInput {
  std::u16string name;  // from the thread registry; empty: none
  std::uint32_t threadId = 0;
  std::u16string className;  // of the thread object that started it, if any
  int innerLevel = 0;        // N-th inner exception; 0: the thread itself
  bool suspended = false;
  int priority = 0;
  bool showsTheException = false;
  // A trace asked for from outside: the freeze watcher and the handler
  // thread are listed too, as they may be what holds the process up.
  bool tracing = false;
};

// Empty (no section) for a thread named "-" or one of the reporter's own
// service threads, unless it is the exception's thread.
std::u16string ThreadSectionTitle(const ThreadTitleInput& t);

}  // namespace ostrel
