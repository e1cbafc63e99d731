#include "crash/flow/freeze_logic.h"

#include <algorithm>

namespace ostrel {

FreezeWatchLogic::FreezeWatchLogic(std::int32_t timeoutMs)
    : timeout_(static_cast<std::uint32_t>(std::max(timeoutMs, 0))), interval_(BaseInterval()) {}

std::uint32_t FreezeWatchLogic::BaseInterval() const {
  // A timeout below 10 ms would make the watcher probe without waiting.
  return std::max(timeout_ / kProbesPerTimeout, kMinInterval);
}

bool FreezeWatchLogic::OnProbe(bool answered) {
  if (answered) {
    misses_.store(0, std::memory_order_relaxed);
    interval_ = BaseInterval();
    return false;
  }
  // Other threads only ever reset the counter, so the increment is the
  // watcher's own.
  const std::uint32_t before = misses_.fetch_add(1, std::memory_order_relaxed);
  if (before + 1 < kProbesPerTimeout) return false;
  misses_.store(0, std::memory_order_relaxed);
  interval_ = interval_ + std::min(interval_ / 2, kMaxInterval - interval_);
  return true;
}

bool FreezeWatchLogic::Pause() {
  ResetMisses();
  return pauses_.fetch_add(1) + 1 == 0;
}

bool FreezeWatchLogic::Resume() {
  std::int32_t current = pauses_.load();
  // An unbalanced resume must not push the counter below -1: the next pause
  // would then not create the event and the watcher would go on probing.
  while (current >= 0 && !pauses_.compare_exchange_weak(current, current - 1)) {
  }
  if (current < 0) return false;
  ResetMisses();
  return current - 1 < 0;
}

}  // namespace ostrel
