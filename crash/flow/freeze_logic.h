#pragma once
// The freeze watcher's decisions, without its thread, clock or messages: the
// Win32 watcher probes, waits Interval() milliseconds and tells OnProbe
// whether the main thread answered.

#include <atomic>
#include <cstdint>

namespace ostrel {

class FreezeWatchLogic {
 public:
  // Probes come every timeout / 10 ms, at least every 1 ms; a report follows
  // the tenth unanswered probe in a row.
  static constexpr std::uint32_t kProbesPerTimeout = 10;
  static constexpr std::uint32_t kMinInterval = 1;
  // Stays below the system's "wait forever".
  static constexpr std::uint32_t kMaxInterval = 0x7FFFFFFF;

  // A negative timeout counts as 0.
  explicit FreezeWatchLogic(std::int32_t timeoutMs);

  std::uint32_t Timeout() const { return timeout_; }
  // How long to wait for the answer to the next probe. Watcher thread only.
  std::uint32_t Interval() const { return interval_; }
  std::uint32_t Misses() const { return misses_.load(std::memory_order_relaxed); }

  // Watcher thread, after each wait. True: report a freeze now. An answer
  // restores the interval; a report makes the next ones 1.5 times as long.
  bool OnProbe(bool answered);

  // Any thread: the end of each handled exception.
  void ResetMisses() { misses_.store(0, std::memory_order_relaxed); }

  // Any thread. True when this is the outermost pause: create the pause
  // event (unsignalled) that the watcher waits on.
  bool Pause();
  // Any thread. True when the last pause has ended: signal and close the
  // pause event. A resume without a pause does nothing.
  bool Resume();
  bool Paused() const { return pauses_.load() >= 0; }
  // At stop: forgets every pause. True when one was open, whose event must
  // be signalled and closed.
  bool EndPauses() { return pauses_.exchange(-1) >= 0; }

 private:
  std::uint32_t BaseInterval() const;

  std::uint32_t timeout_;
  std::uint32_t interval_;
  std::atomic<std::uint32_t> misses_{0};
  // -1: not paused; n >= 0: n + 1 nested pauses.
  std::atomic<std::int32_t> pauses_{-1};
};

}  // namespace ostrel
