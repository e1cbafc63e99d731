#pragma once
// Thread-safe reference count for objects that implement reporter interfaces.

#include <atomic>
#include <cstdint>

namespace ostrel {

class RefCount {
 public:
  std::uint32_t Increment() { return ++count_; }
  std::uint32_t Decrement() { return --count_; }
  std::uint32_t Value() const { return count_.load(); }

 private:
  std::atomic<std::uint32_t> count_{0};
};

}  // namespace ostrel
