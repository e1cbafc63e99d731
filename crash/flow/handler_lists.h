#pragma once
// The registered exception, action and hidden-exception handlers of a
// process, each kind as a list of routines and a list of methods, in
// registration order. Firing works on copies (Snapshot), so a handler may
// register or unregister handlers while it runs.

#include <cstdint>
#include <atomic>
#include <mutex>
#include <vector>

#include "ostrel/handler_types.h"

namespace ostrel {

enum class HandlerKind : std::uint8_t { Exception = 0, Action = 1, Hidden = 2 };

template <class Routine>
struct RoutineEntry {
  SyncMode mode = SyncMode::HandlerThread;
  std::uint8_t phase = 0;  // exception handlers only
  Routine routine = nullptr;
};

template <class Method>
struct MethodEntry {
  SyncMode mode = SyncMode::HandlerThread;
  std::uint8_t phase = 0;  // exception handlers only
  Method method = nullptr;
  void* object = nullptr;
};

template <class Routine, class Method>
struct HandlerList {
  std::vector<RoutineEntry<Routine>> routines;
  std::vector<MethodEntry<Method>> methods;
  bool Empty() const { return routines.empty() && methods.empty(); }
};

using ExceptionHandlerList = HandlerList<ExceptionHandlerRoutine, ExceptionHandlerMethod>;
using ActionHandlerList = HandlerList<ActionHandlerRoutine, ActionHandlerMethod>;
using HiddenHandlerList = HandlerList<HiddenHandlerRoutine, HiddenHandlerMethod>;

class HandlerLists {
 public:
  // Phases 1 to 4 take handlers; modes are 0 to 2. Registering a handler
  // again (the same routine, or method and object, for exception handlers
  // also the same phase) only changes its mode. False for a null routine or
  // a mode or phase out of range.
  bool RegisterException(ExceptionHandlerRoutine routine, SyncMode mode, std::uint8_t phase);
  bool RegisterException(ExceptionHandlerMethod method, void* object, SyncMode mode,
                         std::uint8_t phase);
  bool RegisterAction(ActionHandlerRoutine routine, SyncMode mode);
  bool RegisterAction(ActionHandlerMethod method, void* object, SyncMode mode);
  bool RegisterHidden(HiddenHandlerRoutine routine, SyncMode mode);
  bool RegisterHidden(HiddenHandlerMethod method, void* object, SyncMode mode);

  // Remove every entry of the handler (for exception handlers, of every
  // phase). False when there was none.
  bool UnregisterException(ExceptionHandlerRoutine routine);
  bool UnregisterException(ExceptionHandlerMethod method, void* object);
  bool UnregisterAction(ActionHandlerRoutine routine);
  bool UnregisterAction(ActionHandlerMethod method, void* object);
  bool UnregisterHidden(HiddenHandlerRoutine routine);
  bool UnregisterHidden(HiddenHandlerMethod method, void* object);

  bool Any(HandlerKind kind) const;
  // Asked at the end of every catch block: without taking the lock.
  bool AnyHidden() const { return anyHidden_.load(std::memory_order_acquire); }
  bool AnyExceptionHandlerForPhase(std::uint8_t phase) const;

  ExceptionHandlerList ExceptionSnapshot() const;
  ActionHandlerList ActionSnapshot() const;
  HiddenHandlerList HiddenSnapshot() const;

  void Clear();

 private:
  mutable std::mutex lock_;
  ExceptionHandlerList exception_;
  ActionHandlerList action_;
  HiddenHandlerList hidden_;
  std::atomic<bool> anyHidden_{false};  // !hidden_.Empty(), kept under lock_
};

}  // namespace ostrel
