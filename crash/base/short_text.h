#pragma once
// Small texts the report's parts share: numbers in decimal, and contents
// trimmed of control characters and blanks (hexadecimal: crash/base/hex.h).
#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel::text {

inline std::u16string Decimal(std::uint64_t value) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value);
  return text;
}

inline std::u16string SignedDecimal(std::int64_t value) {
  if (value >= 0) return Decimal(static_cast<std::uint64_t>(value));
  // Inserted, not concatenated: GCC 12 at -O3 warns falsely on the latter.
  std::u16string text = Decimal(0 - static_cast<std::uint64_t>(value));
  text.insert(text.begin(), u'-');
  return text;
}

// Characters of codes 0 to 32 removed at both ends.
inline std::u16string Trim(std::u16string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= 32) ++begin;
  while (end > begin && text[end - 1] <= 32) --end;
  return std::u16string(text.substr(begin, end - begin));
}

}  // namespace ostrel::text
