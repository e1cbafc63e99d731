#include "goldmine/field_split.h"

namespace pelmora {

void SplitField(std::string& rest, std::string& field) {
  const auto p = rest.find(kFieldDelimiter);
  if (p == std::string::npos) {
    field = std::move(rest);
    rest.clear();
    return;
  }
  field = rest.substr(0, p);
  std::size_t drop = p + 1;
  if (drop < rest.size() && rest[drop] == kRecordDelimiter) ++drop;
  rest.erase(0, drop);
}

}  // namespace pelmora
