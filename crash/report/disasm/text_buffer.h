// A fixed-size text line that is built without allocations.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "crash/base/hex.h"

namespace ostrel {

namespace text_detail {

// Hex digit pairs of every byte value, "000102...", in one case.
struct THexPairs {
  char c[512];
};
constexpr THexPairs MakeHexPairs(bool upper) {
  THexPairs p{};
  for (int i = 0; i < 256; ++i) {
    p.c[2 * i] = HexDigit(i >> 4, upper);
    p.c[2 * i + 1] = HexDigit(i, upper);
  }
  return p;
}
inline constexpr THexPairs kLowerHexPairs = MakeHexPairs(false);
inline constexpr THexPairs kUpperHexPairs = MakeHexPairs(true);

// Number of hex digits of v, at least minDigits.
inline int HexDigits(std::uint32_t v, int minDigits) {
  int digits = v ? (32 - __builtin_clz(v) + 3) / 4 : 1;
  return digits < minDigits ? minDigits : digits;
}

// Writes the low digits hex digits of v at p, two at a time from the right; returns the end.
inline char* PutHex(char* p, std::uint32_t v, int digits, const THexPairs& pairs) {
  char* end = p + digits;
  char* at = end;
  for (; digits >= 2; digits -= 2) {
    at -= 2;
    std::memcpy(at, pairs.c + 2 * (v & 0xFF), 2);
    v >>= 8;
  }
  if (digits) at[-1] = pairs.c[2 * (v & 15) + 1];
  return end;
}

}  // namespace text_detail

class TTextBuffer {
 public:
  void Put(char c) {
    if (n_ < kSize) buf_[n_++] = c;
  }
  void Put(std::string_view s) {
    std::size_t k = s.size() < kSize - n_ ? s.size() : kSize - n_;
    std::memcpy(buf_ + n_, s.data(), k);
    n_ += k;
  }
  // A string literal: copied with its size known at compile time.
  template <std::size_t N>
  void Put(const char (&s)[N]) {
    if (kSize - n_ >= N - 1) {
      std::memcpy(buf_ + n_, s, N - 1);
      n_ += N - 1;
    } else {
      Put(std::string_view(s, N - 1));
    }
  }
  // A zero-terminated string of known length (at most 15): the length characters and the
  // terminator behind them are copied as two overlapping pieces, and the terminator dropped.
  void PutTerminated(const char* s, std::size_t length) {
    if (length > 15 || kSize - n_ < 16) return Put(std::string_view(s, length));
    char* d = buf_ + n_;
    std::size_t bytes = length + 1;
    if (bytes >= 8) {
      std::memcpy(d, s, 8);
      std::memcpy(d + bytes - 8, s + bytes - 8, 8);
    } else if (bytes >= 4) {
      std::memcpy(d, s, 4);
      std::memcpy(d + bytes - 4, s + bytes - 4, 4);
    } else {
      std::memcpy(d, s, 2);
      std::memcpy(d + bytes - 2, s + bytes - 2, 2);
    }
    n_ += length;
  }
  // A zero-terminated string.
  void PutString(const char* s) {
    while (*s && n_ < kSize) buf_[n_++] = *s++;
  }
  // Hex digits, at least minDigits of them.
  void Hex(std::uint32_t v, int minDigits, bool upper) {
    int digits = text_detail::HexDigits(v, minDigits);
    if (kSize - n_ < std::size_t(digits)) return HexSlow(v, minDigits, upper);
    char* end = text_detail::PutHex(
        buf_ + n_, v, digits, upper ? text_detail::kUpperHexPairs : text_detail::kLowerHexPairs);
    n_ = std::size_t(end - buf_);
  }
  // Exactly 8 lower-case hex digits.
  void Hex8(std::uint32_t v) {
    if (kSize - n_ < 8) return Hex(v, 8, false);
    char* p = buf_ + n_;
    std::memcpy(p, text_detail::kLowerHexPairs.c + 2 * (v >> 24), 2);
    std::memcpy(p + 2, text_detail::kLowerHexPairs.c + 2 * ((v >> 16) & 0xFF), 2);
    std::memcpy(p + 4, text_detail::kLowerHexPairs.c + 2 * ((v >> 8) & 0xFF), 2);
    std::memcpy(p + 6, text_detail::kLowerHexPairs.c + 2 * (v & 0xFF), 2);
    n_ += 8;
  }
  void Decimal(std::uint32_t v) {
    char tmp[10];
    int k = 0;
    do {
      tmp[k++] = char('0' + v % 10);
      v /= 10;
    } while (v);
    while (k) Put(tmp[--k]);
  }
  // 0..9 decimal, else "$" + hex.
  void Value(std::uint32_t v) {
    if (v <= 9) {
      Put(char('0' + v));
      return;
    }
    Put('$');
    Hex(v, 1, true);
  }
  void PadTo(std::size_t width) {
    if (n_ >= width) return;
    if (width <= kPadChunk) {
      std::memset(buf_ + n_, ' ', kPadChunk);  // n_ < width: inside the buffer
      n_ = width;
      return;
    }
    while (n_ < width && n_ < kSize) buf_[n_++] = ' ';
  }
  // Writing in place without checks: room() characters fit at end(), and kSpare more bytes may
  // be overwritten behind them; Advance(p) takes what was written up to p.
  static constexpr std::size_t kSpare = 16;
  char* end() { return buf_ + n_; }
  std::size_t room() const { return kSize - n_; }
  void Advance(char* p) { n_ = std::size_t(p - buf_); }

  std::size_t size() const { return n_; }
  std::string_view view() const { return {buf_, n_}; }
  std::string str() const { return std::string(buf_, n_); }
  void clear() { n_ = 0; }

 private:
  static constexpr std::size_t kSize = 400;
  static constexpr std::size_t kPadChunk = 64;  // padding up to this width is one fixed-size fill
  static_assert(2 * kPadChunk <= kSize);

  void HexSlow(std::uint32_t v, int minDigits, bool upper) {
    char tmp[8];
    int k = 0;
    do {
      tmp[k++] = HexDigit(v, upper);
      v >>= 4;
    } while (v);
    while (k < minDigits) tmp[k++] = '0';
    while (k) Put(tmp[--k]);
  }

  char buf_[kSize + kSpare];  // spare bytes behind the end for fixed-size copies
  std::size_t n_ = 0;
};

}  // namespace ostrel
