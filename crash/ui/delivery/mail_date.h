#pragma once
// The message's date and identifier, from the UTC time as a file time
// (100-nanosecond steps since 1 January 1601).

#include <cstdint>
#include <string>

namespace ostrel::delivery {

struct UtcDateTime {
  int year, month, day, hour, minute, second;
};

UtcDateTime DateTimeOfFileTime(std::uint64_t fileTime);
// The other way, for the program's clock where it is not a file time.
std::uint64_t FileTimeOfDateTime(const UtcDateTime& t);

// "7 Mar 2024 09:05:03 UT": day without a leading zero.
std::string MailDateText(std::uint64_t fileTime);
// "<" + 16 upper-case hexadecimal digits + "@Ostrel>".
std::string MessageIdText(std::uint64_t fileTime);

}  // namespace ostrel::delivery
