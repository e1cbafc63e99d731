#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelmora::sim {

// The API's container of named string values. Names are matched without
// regard to ASCII case; the first spelling set is kept, and order of first
// setting is preserved so index access is stable.
class NameValues {
 public:
  void Set(std::string_view name, std::string_view value);
  std::optional<std::string> Get(std::string_view name) const;
  void EraseAll() { pairs_.clear(); }
  size_t Count() const { return pairs_.size(); }
  const std::pair<std::string, std::string>* At(size_t index) const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace pelmora::sim
