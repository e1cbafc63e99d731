// A fixed-size text line that is built without allocations.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ostrel {

class TTextBuffer {
 public:
  void Put(char c) {
    if (n_ < kSize) buf_[n_++] = c;
  }
  void Put(std::string_view s) {
    size_t k = s.size() < kSize - n_ ? s.size() : kSize - n_;
    std::memcpy(buf_ + n_, s.data(), k);
    n_ += k;
  }
  // Hex digits, at least minDigits of them.
  void Hex(uint32_t v, int minDigits, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char tmp[8];
    int k = 0;
    do {
      tmp[k++] = digits[v & 15];
      v >>= 4;
    } while (v);
    while (k < minDigits) tmp[k++] = '0';
    while (k) Put(tmp[--k]);
  }
  // Exactly 8 lower-case hex digits.
  void Hex8(uint32_t v) {
    if (kSize - n_ < 8) return Hex(v, 8, false);
    for (int i = 7; i >= 0; --i) {
      buf_[n_ + i] = "0123456789abcdef"[v & 15];
      v >>= 4;
    }
    n_ += 8;
  }
  void Decimal(uint32_t v) {
    char tmp[10];
    int k = 0;
    do {
      tmp[k++] = char('0' + v % 10);
      v /= 10;
    } while (v);
    while (k) Put(tmp[--k]);
  }
  // 0..9 decimal, else "$" + hex.
  void Value(uint32_t v) {
    if (v <= 9) {
      Put(char('0' + v));
      return;
    }
    Put('$');
    Hex(v, 1, true);
  }
  void PadTo(size_t width) {
    while (n_ < width && n_ < kSize) buf_[n_++] = ' ';
  }
  size_t size() const { return n_; }
  std::string_view view() const { return {buf_, n_}; }
  std::string str() const { return std::string(buf_, n_); }
  void clear() { n_ = 0; }

 private:
  static constexpr size_t kSize = 400;
  char buf_[kSize];
  size_t n_ = 0;
};

}  // namespace ostrel
