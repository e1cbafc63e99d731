#include "crash/report/compose/field_formats.h"
#include "crash/base/short_text.h"

namespace ostrel {
namespace {

using text::Decimal;

std::u16string Part(std::int64_t value, const char16_t* unit) {
  if (value == 0) return {};
  std::u16string text = Decimal(static_cast<std::uint64_t>(value)) + u" " + unit;
  if (value != 1) text += u"s";
  return text;
}

}  // namespace

std::u16string FormatUpTime(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const std::int64_t days = seconds / 86400, hours = (seconds / 3600) % 24;
  std::u16string first, second;
  if (days > 0) {
    first = Part(days, u"day");
    second = Part(hours, u"hour");
  } else if (hours > 0) {
    first = Part(hours, u"hour");
    second = Part((seconds / 60) % 60, u"minute");
  } else {
    first = Part((seconds / 60) % 60, u"minute");
    second = Part(seconds % 60, u"second");
  }
  std::u16string text = first + u" " + second;
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.substr(begin, end - begin);
}

std::u16string FormatByteSize(std::uint64_t n, char16_t separator) {
  if (n < 1024) return Decimal(n) + u" Bytes";
  std::uint64_t hundredths;
  const char16_t* unit;
  if (n < 1048576) {
    hundredths = n * 100 / 1024;
    unit = u" KB";
  } else if (n < 1073741824) {
    hundredths = (n / 1024) * 100 / 1024;
    unit = u" MB";
  } else {
    hundredths = (n / 1048576) * 100 / 1024;
    unit = u" GB";
  }
  std::u16string digits = Decimal(hundredths);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), u'0');
  digits.insert(digits.size() - 2, 1, separator);
  return digits + unit;
}

}  // namespace ostrel
