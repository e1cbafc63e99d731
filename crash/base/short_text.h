#pragma once
// Small texts the report's parts share: numbers in decimal and lower-case
// hexadecimal, and contents trimmed of control characters and blanks.
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

// At least digits digits, with leading zeros.
inline std::u16string Hex(std::uint32_t value, std::size_t digits = 0) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value);
  if (text.size() < digits) text.insert(0, digits - text.size(), u'0');
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
