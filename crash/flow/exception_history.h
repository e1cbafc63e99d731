#pragma once
// When the last exceptions were handled: the test behind automatic restart
// and close, handed over to a restarted process.

#include <array>
#include <cstddef>
#include <cstdint>

namespace ostrel {

class ExceptionHistory {
 public:
  static constexpr std::size_t kSize = 10;
  // Whole seconds since 1601-01-01 UTC, newest first; 0 is an unused entry.
  using Entries = std::array<std::uint64_t, kSize>;

  ExceptionHistory() = default;
  explicit ExceptionHistory(const Entries& entries) : entries_(entries) {}

  const Entries& Times() const { return entries_; }

  // Shifts the list by one and puts `now` in front.
  void Record(std::uint64_t now);

  // The AutoRestart and AutoClose coding: 0 never, 1 always, a larger value
  // when all entries are set and the oldest lies at most that many seconds
  // before `now`. Negative values never act.
  bool AutoButtonDue(std::int32_t value, std::uint64_t now) const;

 private:
  Entries entries_{};
};

}  // namespace ostrel
