#pragma once
// Firing registered handlers: which run, where, in which order and when a
// round stops. Handlers of mode 0 run on the calling thread; those of modes
// 1 and 2 are handed to the main thread, and when it cannot take them the
// mode-2 handlers run on the calling thread instead.

#include <cstdint>
#include <functional>

#include "crash/flow/handler_lists.h"

namespace ostrel {

class IMainThreadCalls {
 public:
  // Runs `work` on the main thread and returns true once it has run there.
  // False when there is no main thread to ask or it did not answer in time;
  // `work` has then not run and must never run later.
  virtual bool RunOnMainThread(const std::function<void()>& work) = 0;

 protected:
  ~IMainThreadCalls() = default;
};

struct DispatchContext {
  IExceptionReport* report = nullptr;      // handed to every handler
  bool callHandlers = true;                // the report's own switch
  bool frozen = false;                     // a frozen main thread is never asked
  IMainThreadCalls* mainThread = nullptr;  // none: the main thread cannot be reached
};

// Only handlers of `phase` run. In phases 1 and 2 the first handler that
// sets `handled` ends the round; in phases 3 and 4 all run, a method that
// sets it skips the routines, and it is cleared after each round.
void FireExceptionHandlers(const HandlerLists& lists, std::uint8_t phase,
                           const DispatchContext& context, bool& handled);

// The first handler that sets `handled` ends the round.
void FireActionHandlers(const HandlerLists& lists, ReportAction action,
                        const DispatchContext& context, bool& handled);

// All run; any of them may change `handled`.
void FireHiddenHandlers(const HandlerLists& lists, const DispatchContext& context, bool& handled);

}  // namespace ostrel
