#include "crash/report/symbols/symbol_text.h"

namespace ostrel {

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

}  // namespace ostrel
