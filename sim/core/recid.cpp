#include "sim/core/recid.h"

namespace pelmora::sim {

std::string RecidGenerator::Next() {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::uniform_int_distribution<int> pick(0, 35);
  // GoldMine's ids begin with a letter; keep that so ids never look numeric.
  std::string id(1, kDigits[10 + pick(random_) % 26]);
  while (id.size() < kRecidLength) id += kDigits[pick(random_)];
  return id;
}

}  // namespace pelmora::sim
