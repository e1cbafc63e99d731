#include <algorithm>
#include <array>
#include <optional>

#include "crash/ui/exception_box/list_parts.h"

namespace ostrel::box::parts {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHex(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c >= 0x80;
}

bool RelativeOffset(std::u16string_view v) {
  return v.size() > 1 && v[0] == u'+' && std::all_of(v.begin() + 1, v.end(), IsHex);
}

bool LineNumber(std::u16string_view v) { return std::all_of(v.begin(), v.end(), IsDigit); }

bool RelativeLine(std::u16string_view v) {
  if (!v.empty() && (v[0] == u'+' || v[0] == u'-')) v.remove_prefix(1);
  return !v.empty() && LineNumber(v);
}

bool UnitOrFunction(std::u16string v) {
  if (v.size() > 4 && v.ends_with(u".obj")) v.resize(v.size() - 4);
  const std::size_t plus = v.rfind(u'+');
  if (plus != v.npos && plus > 0) v.resize(plus);
  if (v.starts_with(u"public") || v.starts_with(u"segment")) return true;
  if (v.empty() || IsDigit(v[0])) return false;
  return std::all_of(v.begin(), v.end(), [](char16_t c) {
    return IsLetter(c) || IsDigit(c) || c == u'_' || c == u'.' || c == u'@' || c == u'$' ||
           c == u':' || c == u'~' || c == u'<' || c == u'>';
  });
}

enum Kind { kAddress, kRel, kModule, kUnit, kLine, kRelLine, kFunction, kKinds };

// A block's columns, each kind a range of finder columns [first, last).
struct Block {
  std::vector<std::size_t> lines;  // indices into the text's lines
  std::vector<std::size_t> boundaries;
  std::array<std::optional<std::pair<std::size_t, std::size_t>>, kKinds> kinds;
};

std::size_t StartOf(const std::vector<std::size_t>& b, std::size_t column) {
  if (column == 0) return 0;
  if (column > b.size()) return std::u16string::npos;
  return b[column - 1];
}

std::u16string Cell(std::u16string_view line, const std::vector<std::size_t>& b, std::size_t first,
                    std::size_t last) {
  const std::size_t from = StartOf(b, first);
  if (from >= line.size()) return {};
  const std::size_t to = std::min(StartOf(b, last), line.size());
  return Trim(line.substr(from, to - from));
}

// Whether every line reaching the column has a value the test accepts, and
// at least one has a value.
template <typename Test>
bool ColumnIs(const std::vector<std::u16string>& lines, const Block& block, std::size_t column,
              Test test) {
  bool any = false;
  for (std::size_t i : block.lines) {
    const std::u16string v = Cell(lines[i], block.boundaries, column, column + 1);
    if (v.empty()) continue;
    if (!test(v)) return false;
    any = true;
  }
  return any;
}

void Identify(const std::vector<std::u16string>& lines, Block& block) {
  const std::size_t n = block.boundaries.size() + 1;
  auto& k = block.kinds;
  k[kAddress] = {0, 1};
  std::size_t next = 1;
  if (n > next && ColumnIs(lines, block, next, RelativeOffset)) {
    k[kRel] = {next, next + 1};
    ++next;
  }
  if (n > next) {
    k[kModule] = {next, next + 1};
    ++next;
  }
  for (std::size_t c = next; c < n; ++c) {
    if (!ColumnIs(lines, block, c, LineNumber)) continue;
    if (c > next) k[kUnit] = {next, c};
    k[kLine] = {c, c + 1};
    std::size_t rest = c + 1;
    if (rest + 1 < n && ColumnIs(lines, block, rest, RelativeLine)) {
      k[kRelLine] = {rest, rest + 1};
      ++rest;
    }
    if (rest < n) k[kFunction] = {rest, n};
    return;
  }
  for (std::size_t c = next; c < n; ++c) {
    if (!ColumnIs(lines, block, c, UnitOrFunction)) continue;
    if (c + 1 < n) {
      k[kUnit] = {next, c + 1};
      k[kFunction] = {c + 1, n};
    } else {
      if (c > next) k[kUnit] = {next, c};
      k[kFunction] = {c, n};
    }
    return;
  }
  if (next < n) k[kFunction] = {next, n};
}

bool Content(const std::u16string& line) { return !line.empty() && !StartsWith(line, u">>"); }

}  // namespace

TabContents FormatCallStack(const std::u16string& text) {
  std::vector<std::u16string> lines = SplitLines(text);
  std::vector<Block> blocks;
  std::vector<int> blockOf(lines.size(), -1);
  // Each run of content lines is aligned on its own: every thread's walk,
  // and a thread's creation location, has its own column widths.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!Content(lines[i])) continue;
    if (i == 0 || !Content(lines[i - 1])) blocks.emplace_back();
    blocks.back().lines.push_back(i);
    blockOf[i] = int(blocks.size() - 1);
  }
  std::array<bool, kKinds> present{};
  for (Block& block : blocks) {
    std::vector<std::u16string> own;
    for (std::size_t i : block.lines) own.push_back(lines[i]);
    block.boundaries = FindColumnsIn(own, false);
    for (std::size_t j = 0; j < block.lines.size(); ++j) lines[block.lines[j]] = own[j];
    Identify(lines, block);
    for (int kind = 0; kind < kKinds; ++kind) present[kind] |= block.kinds[kind].has_value();
  }
  static const char16_t* const kTitles[kKinds] = {u"^address", u"^ rel.", u"module",  u"unit",
                                                  u" line",    u" rel.",  u"function"};
  std::u16string titles;
  for (int kind = 0; kind < kKinds; ++kind) {
    if (kind != kAddress && !present[kind]) continue;
    if (!titles.empty()) titles += u'|';
    titles += kTitles[kind];
  }

  // A lone internal error at the end: the first thread's title is no heading.
  std::size_t lastParagraph = 0;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].empty()) lastParagraph = i + 1;
  const bool plainFirst =
      lastParagraph < lines.size() && StartsWith(lines[lastParagraph], u">> internal error");

  TabContents t;
  t.list = true;
  t.columns = Columns(titles);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::u16string& line = lines[i];
    if (!Content(line)) {
      const bool afterBreak = i == 0 ? !plainFirst : lines[i - 1].empty();
      t.rows.push_back({line, kWhite, true, !line.empty() && afterBreak});
      continue;
    }
    const Block& block = blocks[std::size_t(blockOf[i])];
    std::u16string row;
    bool first = true;
    for (int kind = 0; kind < kKinds; ++kind) {
      if (kind != kAddress && !present[kind]) continue;
      if (!first) row += u'\t';
      first = false;
      if (const auto& range = block.kinds[kind])
        row += Cell(line, block.boundaries, range->first, range->second);
    }
    t.rows.push_back({row});
  }
  return t;
}

TabContents FormatDisassembly(const std::u16string& text) {
  const std::vector<std::u16string> lines = SplitLines(text);
  // The exception's ">" marker shows where the code starts; behind a line
  // number column it lies further right.
  auto markerIn = [](const std::u16string& line, std::size_t from) -> std::size_t {
    const std::size_t end = std::min<std::size_t>(line.size(), 25);
    for (std::size_t j = from; j < end; ++j)
      if (line[j] == u'>' && line[j - 1] == u' ') return j;
    return std::u16string::npos;
  };
  std::size_t marker = std::u16string::npos;
  for (const std::u16string& line : lines) {
    if (line.empty()) continue;
    marker = markerIn(line, 10);
    break;
  }
  // The listing's first line is a label: then the marked line tells.
  if (marker == std::u16string::npos) {
    for (const std::u16string& line : lines)
      if ((marker = markerIn(line, 9)) != std::u16string::npos) break;
  }
  if (marker == std::u16string::npos) marker = 9;
  const bool lineColumn = marker >= 10;

  TabContents t;
  t.list = true;
  t.fixedFont = true;
  t.columns =
      Columns(lineColumn ? u"address|line|asm code|comments" : u"address|asm code|comments");
  for (const std::u16string& line : lines) {
    ListRow row;
    row.text = Trim(std::u16string_view(line).substr(0, std::min<std::size_t>(line.size(), 8)));
    if (line.size() > 8) {
      const std::u16string_view all = line;
      if (lineColumn) row.text += u'\t' + Trim(all.substr(8, marker - 8));
      std::u16string code = line.size() > marker ? line.substr(marker) : std::u16string();
      if (!code.empty() && (code[0] == u' ' || code[0] == u'>')) {
        if (code[0] == u'>') row.colour = kMarkerRed;
        code[0] = kNoBreakSpace;
      }
      std::u16string comment;
      const std::size_t semicolon = code.find(u';');
      if (semicolon != code.npos) {
        if (code.compare(semicolon, 4, u"; --") == 0) {
          // A separator stays with the code, short enough not to widen it.
          code.resize(std::min(code.size(), semicolon + 28));
        } else {
          comment = code.substr(semicolon);
          code.resize(semicolon);
        }
      }
      row.text += u'\t' + TrimRight(code) + u'\t' + comment;
    }
    t.rows.push_back(std::move(row));
  }
  return t;
}

}  // namespace ostrel::box::parts
