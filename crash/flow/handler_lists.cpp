#include "crash/flow/handler_lists.h"

#include <algorithm>

namespace ostrel {

namespace {

constexpr std::uint8_t kFirstHandlerPhase = 1;
constexpr std::uint8_t kLastHandlerPhase = 4;

bool ValidMode(SyncMode mode) { return static_cast<std::uint8_t>(mode) <= 2; }

bool ValidPhase(std::uint8_t phase) {
  return phase >= kFirstHandlerPhase && phase <= kLastHandlerPhase;
}

template <class Routine>
bool AddRoutine(std::vector<RoutineEntry<Routine>>& list, Routine routine, SyncMode mode,
                std::uint8_t phase) {
  if (!routine || !ValidMode(mode)) return false;
  for (auto& e : list) {
    if (e.routine == routine && e.phase == phase) {
      e.mode = mode;
      return true;
    }
  }
  list.push_back({mode, phase, routine});
  return true;
}

template <class Method>
bool AddMethod(std::vector<MethodEntry<Method>>& list, Method method, void* object, SyncMode mode,
               std::uint8_t phase) {
  if (!method || !ValidMode(mode)) return false;
  for (auto& e : list) {
    if (e.method == method && e.object == object && e.phase == phase) {
      e.mode = mode;
      return true;
    }
  }
  list.push_back({mode, phase, method, object});
  return true;
}

template <class Routine>
bool RemoveRoutine(std::vector<RoutineEntry<Routine>>& list, Routine routine) {
  return std::erase_if(list, [&](const auto& e) { return e.routine == routine; }) > 0;
}

template <class Method>
bool RemoveMethod(std::vector<MethodEntry<Method>>& list, Method method, void* object) {
  return std::erase_if(list,
                       [&](const auto& e) { return e.method == method && e.object == object; }) > 0;
}

}  // namespace

bool HandlerLists::RegisterException(ExceptionHandlerRoutine routine, SyncMode mode,
                                     std::uint8_t phase) {
  if (!ValidPhase(phase)) return false;
  std::lock_guard guard(lock_);
  return AddRoutine(exception_.routines, routine, mode, phase);
}

bool HandlerLists::RegisterException(ExceptionHandlerMethod method, void* object, SyncMode mode,
                                     std::uint8_t phase) {
  if (!ValidPhase(phase)) return false;
  std::lock_guard guard(lock_);
  return AddMethod(exception_.methods, method, object, mode, phase);
}

bool HandlerLists::RegisterAction(ActionHandlerRoutine routine, SyncMode mode) {
  std::lock_guard guard(lock_);
  return AddRoutine(action_.routines, routine, mode, 0);
}

bool HandlerLists::RegisterAction(ActionHandlerMethod method, void* object, SyncMode mode) {
  std::lock_guard guard(lock_);
  return AddMethod(action_.methods, method, object, mode, 0);
}

bool HandlerLists::RegisterHidden(HiddenHandlerRoutine routine, SyncMode mode) {
  std::lock_guard guard(lock_);
  const bool added = AddRoutine(hidden_.routines, routine, mode, 0);
  anyHidden_ = !hidden_.Empty();
  return added;
}

bool HandlerLists::RegisterHidden(HiddenHandlerMethod method, void* object, SyncMode mode) {
  std::lock_guard guard(lock_);
  const bool added = AddMethod(hidden_.methods, method, object, mode, 0);
  anyHidden_ = !hidden_.Empty();
  return added;
}

bool HandlerLists::UnregisterException(ExceptionHandlerRoutine routine) {
  std::lock_guard guard(lock_);
  return RemoveRoutine(exception_.routines, routine);
}

bool HandlerLists::UnregisterException(ExceptionHandlerMethod method, void* object) {
  std::lock_guard guard(lock_);
  return RemoveMethod(exception_.methods, method, object);
}

bool HandlerLists::UnregisterAction(ActionHandlerRoutine routine) {
  std::lock_guard guard(lock_);
  return RemoveRoutine(action_.routines, routine);
}

bool HandlerLists::UnregisterAction(ActionHandlerMethod method, void* object) {
  std::lock_guard guard(lock_);
  return RemoveMethod(action_.methods, method, object);
}

bool HandlerLists::UnregisterHidden(HiddenHandlerRoutine routine) {
  std::lock_guard guard(lock_);
  const bool removed = RemoveRoutine(hidden_.routines, routine);
  anyHidden_ = !hidden_.Empty();
  return removed;
}

bool HandlerLists::UnregisterHidden(HiddenHandlerMethod method, void* object) {
  std::lock_guard guard(lock_);
  const bool removed = RemoveMethod(hidden_.methods, method, object);
  anyHidden_ = !hidden_.Empty();
  return removed;
}

bool HandlerLists::Any(HandlerKind kind) const {
  std::lock_guard guard(lock_);
  switch (kind) {
    case HandlerKind::Exception:
      return !exception_.Empty();
    case HandlerKind::Action:
      return !action_.Empty();
    case HandlerKind::Hidden:
      return !hidden_.Empty();
  }
  return false;
}

bool HandlerLists::AnyExceptionHandlerForPhase(std::uint8_t phase) const {
  std::lock_guard guard(lock_);
  auto inPhase = [&](const auto& e) { return e.phase == phase; };
  return std::ranges::any_of(exception_.routines, inPhase) ||
         std::ranges::any_of(exception_.methods, inPhase);
}

ExceptionHandlerList HandlerLists::ExceptionSnapshot() const {
  std::lock_guard guard(lock_);
  return exception_;
}

ActionHandlerList HandlerLists::ActionSnapshot() const {
  std::lock_guard guard(lock_);
  return action_;
}

HiddenHandlerList HandlerLists::HiddenSnapshot() const {
  std::lock_guard guard(lock_);
  return hidden_;
}

void HandlerLists::Clear() {
  std::lock_guard guard(lock_);
  exception_ = {};
  action_ = {};
  hidden_ = {};
  anyHidden_ = false;
}

}  // namespace ostrel
