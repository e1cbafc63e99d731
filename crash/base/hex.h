#pragma once
// Hexadecimal digits, the one way the reporter writes them: addresses in
// reports, stamps, kernel object names, enciphered bytes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel {

constexpr char HexDigit(unsigned nibble, bool upper = false) {
  return (upper ? "0123456789ABCDEF" : "0123456789abcdef")[nibble & 15];
}

// The digits of value, at least `digits` of them (leading zeros), no prefix.
template <class Char>
std::basic_string<Char> HexDigits(std::uint64_t value, std::size_t digits = 0, bool upper = false) {
  Char buffer[16];
  std::size_t n = 0;
  do {
    buffer[15 - n++] = static_cast<Char>(HexDigit(static_cast<unsigned>(value), upper));
    value >>= 4;
  } while (value);
  std::basic_string<Char> text;
  if (digits > n) text.assign(digits - n, static_cast<Char>('0'));
  text.append(buffer + 16 - n, n);
  return text;
}

inline std::string HexText(std::uint64_t value, std::size_t digits = 0, bool upper = false) {
  return HexDigits<char>(value, digits, upper);
}
inline std::u16string HexText16(std::uint64_t value, std::size_t digits = 0, bool upper = false) {
  return HexDigits<char16_t>(value, digits, upper);
}

}  // namespace ostrel
