#include "crash/settings/password_cipher.h"

#include <cstdint>
#include <vector>

#include "crash/base/utf.h"
#include "crash/base/hex.h"

namespace ostrel {

namespace {

// Key stream from a 32-bit xorshift seeded with an FNV-1a hash of the key.
class KeyStream {
 public:
  KeyStream(std::u16string_view account, std::u16string_view server) {
    std::uint32_t h = 2166136261u;
    auto mix = [&](std::u16string_view s) {
      for (char16_t c : s) {
        h = (h ^ (c & 0xFF)) * 16777619u;
        h = (h ^ (c >> 8)) * 16777619u;
      }
      h = (h ^ 0x7C) * 16777619u;  // separator, so "ab"+"c" differs from "a"+"bc"
    };
    mix(account);
    mix(server);
    state_ = h ? h : 0x9E3779B9u;
  }
  std::uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<std::uint8_t>(state_ >> 24);
  }

 private:
  std::uint32_t state_;
};

int HexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::u16string EncipherPassword(std::u16string_view password, std::u16string_view account,
                                std::u16string_view server) {
  KeyStream key(account, server);
  std::u16string out;
  for (unsigned char b : Utf16ToUtf8(password)) {
    const std::uint8_t e = b ^ key.Next();
    out.push_back(static_cast<char16_t>(HexDigit(e >> 4, true)));
    out.push_back(static_cast<char16_t>(HexDigit(e, true)));
  }
  return out;
}

std::optional<std::u16string> DecipherPassword(std::u16string_view enciphered,
                                               std::u16string_view account,
                                               std::u16string_view server) {
  if (enciphered.size() % 2) return std::nullopt;
  KeyStream key(account, server);
  std::string bytes;
  for (std::size_t i = 0; i < enciphered.size(); i += 2) {
    const int hi = HexValue(enciphered[i]), lo = HexValue(enciphered[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<char>((hi << 4 | lo) ^ key.Next()));
  }
  return Utf8ToUtf16(bytes);
}

}  // namespace ostrel
