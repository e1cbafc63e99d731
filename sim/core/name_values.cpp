#include "sim/core/name_values.h"

namespace pelmora::sim {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void NameValues::Set(std::string_view name, std::string_view value) {
  for (auto& pair : pairs_) {
    if (EqualsNoCase(pair.first, name)) {
      pair.second = value;
      return;
    }
  }
  pairs_.emplace_back(std::string(name), std::string(value));
}

std::optional<std::string> NameValues::Get(std::string_view name) const {
  for (const auto& pair : pairs_) {
    if (EqualsNoCase(pair.first, name)) return pair.second;
  }
  return std::nullopt;
}

const std::pair<std::string, std::string>* NameValues::At(size_t index) const {
  return index < pairs_.size() ? &pairs_[index] : nullptr;
}

}  // namespace pelmora::sim
