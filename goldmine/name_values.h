// Name-value pairs handed to a GoldMine business function, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pelmora {

using NameValuePairs = std::vector<std::pair<std::string, std::string>>;

}  // namespace pelmora
