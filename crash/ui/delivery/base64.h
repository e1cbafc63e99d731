#pragma once
// Base64 as mail and HTTP carry it: the standard alphabet with "=" padding,
// no line breaks (callers cut the lines they need).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ostrel::delivery {

std::string EncodeBase64(std::span<const std::uint8_t> bytes);
std::string EncodeBase64(std::string_view bytes);
// The length EncodeBase64 gives for `count` bytes.
constexpr std::size_t Base64Length(std::size_t count) { return (count + 2) / 3 * 4; }

}  // namespace ostrel::delivery
