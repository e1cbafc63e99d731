#include "crash/report/file/text_fields.h"
#include "crash/base/short_text.h"

namespace ostrel {
namespace {

using text::Trim;

constexpr std::u16string_view kCrLf = u"\r\n";

std::size_t LineStart(std::u16string_view report, std::u16string_view name) {
  if (name.empty()) return std::u16string_view::npos;
  std::u16string needle(kCrLf);
  needle += name;
  const std::size_t at = report.find(needle);
  return at == std::u16string_view::npos ? at : at + 2;
}

}  // namespace

std::u16string HeaderField(std::u16string_view report, std::u16string_view name) {
  const std::size_t start = LineStart(report, name);
  if (start == std::u16string_view::npos) return {};
  std::size_t end = report.find(kCrLf, start);
  if (end == std::u16string_view::npos) end = report.size();
  std::u16string_view line = report.substr(start, end - start);
  const std::size_t colon = line.find(u':');
  if (colon == std::u16string_view::npos) return {};
  return Trim(line.substr(colon + 1));
}

std::u16string ReportSection(std::u16string_view report, std::u16string_view title) {
  std::u16string needle = u"\r\n\r\n";
  needle += title;
  needle += u':';
  const std::size_t at = report.find(needle);
  if (at == std::u16string_view::npos) return {};
  const std::size_t start = at + needle.size();
  std::size_t end = report.find(u"\r\n\r\n", start);
  if (end == std::u16string_view::npos) end = report.size();
  return std::u16string(report.substr(start, end - start));
}

void InsertHeaderField(std::u16string& report, std::u16string_view name,
                       std::u16string_view afterName, std::u16string_view contents) {
  const std::size_t start = LineStart(report, afterName);
  if (start == std::u16string::npos) return;
  const std::size_t end = report.find(kCrLf, start);
  if (end == std::u16string::npos) return;
  const std::size_t colon = report.find(u':', start);
  if (colon == std::u16string::npos || colon > end) return;
  std::u16string line(kCrLf);
  line += name;
  const std::size_t column = colon - start;
  if (line.size() - 2 < column) line.append(column - (line.size() - 2), u' ');
  line += u": ";
  line += contents;
  report.insert(end, line);
}

bool SameHeaderField(std::u16string_view a, std::u16string_view b, std::u16string_view name) {
  return HeaderField(a, name) == HeaderField(b, name);
}

}  // namespace ostrel
