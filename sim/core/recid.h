#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace pelmora::sim {

// Makes GoldMine-like record ids: 15 characters of digits and capitals.
// Uniqueness against stored records is the caller's check.
class RecidGenerator {
 public:
  explicit RecidGenerator(std::uint64_t seed) : random_(seed) {}
  std::string Next();

 private:
  std::mt19937_64 random_;
};

inline constexpr size_t kRecidLength = 15;

}  // namespace pelmora::sim
