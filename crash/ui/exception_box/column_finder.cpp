#include <algorithm>

#include "crash/ui/exception_box/list_parts.h"

namespace ostrel::box {
namespace parts {

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t at = 0;
  while (true) {
    const std::size_t end = text.find(u'\r', at);
    lines.emplace_back(text.substr(at, end == text.npos ? text.npos : end - at));
    if (end == text.npos) break;
    at = end + 1;
    if (at < text.size() && text[at] == u'\n') ++at;
  }
  // A lone line feed is a line break too.
  std::vector<std::u16string> out;
  for (const std::u16string& line : lines) {
    std::size_t from = 0;
    while (true) {
      const std::size_t end = line.find(u'\n', from);
      out.push_back(line.substr(from, end == line.npos ? line.npos : end - from));
      if (end == line.npos) break;
      from = end + 1;
    }
  }
  return out;
}

std::u16string Trim(std::u16string_view s) {
  const std::size_t first = s.find_first_not_of(u' ');
  if (first == s.npos) return {};
  return std::u16string(s.substr(first, s.find_last_not_of(u' ') + 1 - first));
}

std::u16string TrimRight(std::u16string_view s) {
  const std::size_t last = s.find_last_not_of(u' ');
  return last == s.npos ? std::u16string() : std::u16string(s.substr(0, last + 1));
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::vector<ListColumn> Columns(std::u16string_view titles) {
  std::vector<ListColumn> columns;
  std::size_t at = 0;
  while (true) {
    const std::size_t end = titles.find(u'|', at);
    std::u16string_view title = titles.substr(at, end == titles.npos ? titles.npos : end - at);
    ListColumn c;
    if (StartsWith(title, u"^")) {
      c.right = true;
      title.remove_prefix(1);
      // "^ rel.": the blank only sets the title off; right alignment wins.
      if (StartsWith(title, u" ")) title.remove_prefix(1);
    } else if (StartsWith(title, u" ")) {
      c.centred = true;
      title.remove_prefix(1);
    }
    c.title = std::u16string(title);
    columns.push_back(std::move(c));
    if (end == titles.npos) break;
    at = end + 1;
  }
  return columns;
}

std::vector<std::size_t> FindColumnsIn(std::vector<std::u16string>& lines, bool strict) {
  std::vector<std::u16string*> used;
  for (std::u16string& line : lines)
    if (!StartsWith(line, u">>")) used.push_back(&line);
  std::vector<std::size_t> boundaries;
  if (used.empty()) return boundaries;
  const std::u16string* longest = used.front();
  for (const std::u16string* line : used)
    if (line->size() > longest->size()) longest = line;
  const std::size_t length = longest->size();
  for (std::size_t j = 0; j + 2 < length; ++j) {
    const char16_t c = (*longest)[j];
    const bool candidate =
        c == u' ' || c == u'=' || c == u'|' || (c == u':' && (*longest)[j + 1] == u' ');
    if (!candidate) continue;
    bool same = true;
    std::size_t separators = 0;
    for (const std::u16string* line : used) {
      if (line->size() <= j) continue;
      if ((*line)[j] != c) {
        same = false;
        break;
      }
      if (c != u' ' || (j + 1 < line->size() && (*line)[j + 1] != u' ')) ++separators;
    }
    if (!same) continue;
    if (strict && used.size() > 1 && separators < 2) continue;
    for (std::u16string* line : used)
      if (line->size() > j) (*line)[j] = u' ';
    if (!boundaries.empty() && boundaries.back() == j)
      boundaries.back() = j + 1;
    else
      boundaries.push_back(j + 1);
  }
  return boundaries;
}

std::u16string CutLine(std::u16string_view line, const std::vector<std::size_t>& boundaries,
                       std::size_t maxCuts) {
  std::u16string out;
  std::size_t from = 0;
  for (std::size_t k = 0; k < boundaries.size() && k < maxCuts; ++k) {
    const std::size_t at = boundaries[k];
    if (at >= line.size()) break;
    out += Trim(line.substr(from, at - from));
    out += u'\t';
    from = at;
  }
  out += Trim(line.substr(std::min(from, line.size())));
  return out;
}

}  // namespace parts

std::vector<std::size_t> FindColumns(const std::vector<std::u16string>& lines, bool strict) {
  std::vector<std::u16string> copy = lines;
  return parts::FindColumnsIn(copy, strict);
}

}  // namespace ostrel::box
