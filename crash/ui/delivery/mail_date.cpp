#include "crash/ui/delivery/mail_date.h"

#include "crash/base/hex.h"

namespace ostrel::delivery {

namespace {

constexpr std::uint64_t kStepsPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
// Days from 1 January 1601 to 1 March 0000 of the proleptic calendar,
// the epoch of the civil-day arithmetic below.
constexpr std::int64_t kDaysBefore1601 = 584'694;

std::string TwoDigits(int value) {
  return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

}  // namespace

UtcDateTime DateTimeOfFileTime(std::uint64_t fileTime) {
  const std::int64_t seconds = static_cast<std::int64_t>(fileTime / kStepsPerSecond);
  const std::int64_t days = seconds / kSecondsPerDay + kDaysBefore1601;
  const std::int64_t inDay = seconds % kSecondsPerDay;
  // Years of 400 years (146097 days) from 1 March 0000, March first in a
  // year so that the leap day comes last.
  const std::int64_t era = days / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  UtcDateTime t{};
  t.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  t.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(inDay / 3600);
  t.minute = static_cast<int>(inDay / 60 % 60);
  t.second = static_cast<int>(inDay % 60);
  return t;
}

std::uint64_t FileTimeOfDateTime(const UtcDateTime& t) {
  const std::int64_t year = t.year - (t.month <= 2 ? 1 : 0);
  const std::int64_t era = year / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t monthFromMarch = t.month > 2 ? t.month - 3 : t.month + 9;
  const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + t.day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - kDaysBefore1601;
  const std::int64_t seconds = days * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
  return static_cast<std::uint64_t>(seconds) * kStepsPerSecond;
}

std::string MailDateText(std::uint64_t fileTime) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const UtcDateTime t = DateTimeOfFileTime(fileTime);
  return std::to_string(t.day) + " " + kMonths[t.month - 1] + " " + std::to_string(t.year) + " " +
         TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second) + " UT";
}

std::string MessageIdText(std::uint64_t fileTime) {
  return "<" + HexText(fileTime, 16, true) + "@Ostrel>";
}

}  // namespace ostrel::delivery
