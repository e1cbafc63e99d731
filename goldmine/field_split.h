// Splitting of GoldMine query result text into fields.
#pragma once

#include <string>

namespace pelmora {

inline constexpr char kFieldDelimiter = '\x01';
inline constexpr char kRecordDelimiter = '\x02';

// Takes the first field off the front of rest. A record delimiter right after
// the field delimiter goes with it.
void SplitField(std::string& rest, std::string& field);

}  // namespace pelmora
