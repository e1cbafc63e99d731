#pragma once
// Repeatable pseudo-random test data.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace ostrel::test_data {

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

}  // namespace ostrel::test_data
