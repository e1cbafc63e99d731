#include "crash/ui/sending/unsent_report.h"

#include <cstdio>

#include "crash/base/utf.h"

namespace ostrel::sending {

namespace {

constexpr std::string_view kReason = "reason: ";
constexpr std::string_view kTime = "time: ";
constexpr std::string_view kLength = "length: ";

// The reason stays on its line whatever the failure's text held.
std::string OneLine(std::u16string_view text) {
  std::string out = Utf16ToUtf8(text);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string Hex16(std::uint64_t value) {
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llX", static_cast<unsigned long long>(value));
  return digits;
}

bool ReadLine(std::string_view& rest, std::string_view& line) {
  const std::size_t end = rest.find("\r\n");
  if (end == std::string_view::npos) return false;
  line = rest.substr(0, end);
  rest.remove_prefix(end + 2);
  return true;
}

bool ParseNumber(std::string_view digits, int base, std::uint64_t& value) {
  if (digits.empty() || digits.size() > 16) return false;
  value = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    const std::uint64_t next = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (next / static_cast<unsigned>(base) != value) return false;
    value = next;
  }
  return true;
}

std::u16string StemOf(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  return std::u16string(dot == std::u16string_view::npos ? name : name.substr(0, dot));
}

}  // namespace

std::string FormatUnsentReport(const UnsentReport& report) {
  const std::string text = Utf16ToUtf8(report.text);
  std::string out(kUnsentHead);
  out += "\r\n";
  out += kReason;
  out += OneLine(report.reason);
  out += "\r\n";
  out += kTime;
  out += Hex16(report.fileTime);
  out += "\r\n";
  // The length tells a complete file from one a crash or a full disk cut.
  out += kLength;
  out += std::to_string(text.size());
  out += "\r\n\r\n";
  out += text;
  return out;
}

std::optional<UnsentReport> ParseUnsentReport(std::string_view bytes, std::string& error) {
  std::string_view rest = bytes, line;
  if (!ReadLine(rest, line) || line != kUnsentHead) {
    error = "not a kept report";
    return std::nullopt;
  }
  UnsentReport report;
  std::uint64_t length = 0;
  if (!ReadLine(rest, line) || !line.starts_with(kReason)) {
    error = "no reason line";
    return std::nullopt;
  }
  report.reason = Utf8ToUtf16(line.substr(kReason.size()));
  if (!ReadLine(rest, line) || !line.starts_with(kTime) ||
      !ParseNumber(line.substr(kTime.size()), 16, report.fileTime)) {
    error = "no time line";
    return std::nullopt;
  }
  if (!ReadLine(rest, line) || !line.starts_with(kLength) ||
      !ParseNumber(line.substr(kLength.size()), 10, length)) {
    error = "no length line";
    return std::nullopt;
  }
  if (!ReadLine(rest, line) || !line.empty()) {
    error = "no empty line after the head";
    return std::nullopt;
  }
  if (rest.size() != length) {
    error = "the report was cut short";
    return std::nullopt;
  }
  report.text = Utf8ToUtf16(rest);
  return report;
}

std::u16string UnsentFileName(std::u16string_view reportFileName, std::uint64_t fileTime,
                              std::uint32_t processId) {
  char tail[40];
  std::snprintf(tail, sizeof tail, "-unsent-%016llX-%08X.txt",
                static_cast<unsigned long long>(fileTime), static_cast<unsigned>(processId));
  return StemOf(reportFileName) + AsciiToUtf16(tail);
}

std::u16string UnsentFilePattern(std::u16string_view reportFileName) {
  return StemOf(reportFileName) + u"-unsent-*.txt";
}

std::u16string UnsentOfferText(std::u16string_view message, std::u16string_view reason) {
  const std::u16string_view shown = reason.empty() ? u"unknown reason" : reason;
  std::u16string out(message);
  const std::u16string_view key = u"%reason%";
  for (std::size_t at = out.find(key); at != std::u16string::npos;
       at = out.find(key, at + shown.size()))
    out.replace(at, key.size(), shown);
  return out;
}

}  // namespace ostrel::sending
