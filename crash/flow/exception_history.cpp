#include "crash/flow/exception_history.h"

#include <algorithm>

namespace ostrel {

void ExceptionHistory::Record(std::uint64_t now) {
  std::shift_right(entries_.begin(), entries_.end(), 1);
  entries_.front() = now;
}

bool ExceptionHistory::AutoButtonDue(std::int32_t value, std::uint64_t now) const {
  if (value <= 0) return false;
  if (value == 1) return true;
  for (std::uint64_t t : entries_) {
    if (t == 0) return false;
    // The clock was set back since: how long ago these exceptions were is
    // unknown, and closing or restarting on a guess is worse than going on.
    if (t > now) return false;
  }
  return now - entries_.back() <= static_cast<std::uint64_t>(value);
}

}  // namespace ostrel
