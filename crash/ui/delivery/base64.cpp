#include "crash/ui/delivery/base64.h"

namespace ostrel::delivery {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string EncodeBase64(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(Base64Length(bytes.size()));
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[v >> 12 & 63];
    out += kAlphabet[v >> 6 & 63];
    out += kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const std::uint32_t v = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
    out += kAlphabet[v >> 18];
    out += kAlphabet[v >> 12 & 63];
    out += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string EncodeBase64(std::string_view bytes) {
  return EncodeBase64(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace ostrel::delivery
