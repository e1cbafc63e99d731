#include "crash/settings/code_page.h"

namespace ostrel {

std::string Latin1CodePage::Narrow(std::u16string_view text) const {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c < 256 ? static_cast<char>(c) : '?');
  return out;
}

std::u16string Latin1CodePage::Widen(std::string_view text) const {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<unsigned char>(c));
  return out;
}

}  // namespace ostrel
