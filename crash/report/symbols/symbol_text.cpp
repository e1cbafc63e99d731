#include "crash/report/symbols/symbol_text.h"

namespace ostrel {

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    std::uint32_t cp = 0xFFFD;
    int extra = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F, extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F, extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07, extra = 3;
    } else {
      extra = -1;
    }
    ++i;
    if (extra < 0) {
      out.push_back(u'\xFFFD');
      continue;
    }
    bool ok = true;
    for (int k = 0; k < extra; ++k) {
      if (i >= text.size() || (static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = cp << 6 | (static_cast<std::uint8_t>(text[i]) & 0x3F);
      ++i;
    }
    if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | cp >> 18));
      out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string AsciiToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(c)));
  return out;
}

char16_t FoldCase(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::u16string StripSourceExtension(std::u16string_view unit) {
  for (std::u16string_view ext : {std::u16string_view(u".cpp"), std::u16string_view(u".h")}) {
    if (unit.size() > ext.size() && EndsWithNoCase(unit, ext))
      return std::u16string(unit.substr(0, unit.size() - ext.size()));
  }
  return std::u16string(unit);
}

std::u16string_view FileNamePart(std::u16string_view path) {
  const auto slash = path.find_last_of(u"\\/:");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string_view WithoutExtension(std::u16string_view path) {
  const auto dot = path.find_last_of(u'.');
  const auto slash = path.find_last_of(u"\\/:");
  if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && dot < slash))
    return path;
  return path.substr(0, dot);
}

std::u16string DecimalText(std::int64_t value) { return AsciiToUtf16(std::to_string(value)); }

std::string HexText(std::uint32_t value, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4)
    out[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return out;
}

}  // namespace ostrel
