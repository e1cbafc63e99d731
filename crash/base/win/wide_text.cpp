#include "crash/base/win/wide_text.h"

namespace ostrel {

std::u16string FromCodePage(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string ToCodePage(std::u16string_view text, UINT codePage) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, wide, length, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace ostrel
