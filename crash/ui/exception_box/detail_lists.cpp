#include "crash/ui/exception_box/detail_lists.h"

#include <algorithm>

#include "crash/ui/exception_box/list_parts.h"

namespace ostrel::box {
namespace {

using namespace parts;

bool IsThread(const std::u16string& name) { return name.find(u'$') != name.npos; }

std::size_t ThreadCount(const std::vector<std::u16string>& names) {
  std::size_t n = 0;
  while (n < names.size() && IsThread(names[n])) ++n;
  return n;
}

std::u16string TabTitle(const std::u16string& section) {
  if (section == u"cpu registers") return u"cpu regs";
  if (section == u"disassembling") return u"disasm";
  return section;
}

bool IsLeak(const std::vector<std::u16string>& headerNames) {
  return !headerNames.empty() && headerNames.front() == u"allocation number";
}

bool Contains(const std::u16string& s, std::u16string_view part) { return s.find(part) != s.npos; }

// "&" would be taken for a mnemonic when the list draws its cells.
std::u16string DoubleAmpersands(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    out += c;
    if (c == u'&') out += u'&';
  }
  return out;
}

TabContents TwoColumnsAtTab(const std::u16string& text) {
  TabContents t;
  t.list = true;
  t.columns = Columns(u"description|value");
  for (std::u16string line : SplitLines(text)) {
    const std::size_t tab = line.find(u'\t');
    // A second tab in a value would open a third cell.
    if (tab != line.npos)
      std::replace(line.begin() + std::ptrdiff_t(tab) + 1, line.end(), u'\t', u' ');
    t.rows.push_back({line});
  }
  return t;
}

TabContents FixedCuts(const std::u16string& text) {
  TabContents t;
  t.list = true;
  t.fixedFont = true;
  t.columns = Columns(u"address|data - hexadecimal|data - chars");
  for (const std::u16string& line : SplitLines(text)) {
    std::u16string row = Trim(std::u16string_view(line).substr(0, 9));
    if (line.size() > 9) row += u'\t' + Trim(std::u16string_view(line).substr(9, 51));
    if (line.size() > 60) {
      // Only the separating blank goes: a blank is also a character of the data.
      std::u16string_view chars = std::u16string_view(line).substr(60);
      if (!chars.empty() && chars.front() == u' ') chars.remove_prefix(1);
      row += u'\t' + std::u16string(chars);
    }
    t.rows.push_back({row});
  }
  return t;
}

// The column finder under a fixed header; more boundaries than the header
// has columns stay in the last column (a path may hold blanks).
TabContents FoundColumns(const std::u16string& text, const std::u16string& titles, bool fixed) {
  std::vector<std::u16string> lines = SplitLines(text);
  const std::vector<std::size_t> boundaries = FindColumnsIn(lines, true);
  std::vector<ListColumn> columns = Columns(titles);
  if (boundaries.size() + 1 < columns.size()) return FormatGeneric(text);
  TabContents t;
  t.list = true;
  t.fixedFont = fixed;
  for (const std::u16string& line : lines) {
    if (StartsWith(line, u">>"))
      t.rows.push_back({line, kWhite, true});
    else
      t.rows.push_back({CutLine(line, boundaries, columns.size() - 1)});
  }
  t.columns = std::move(columns);
  return t;
}

TabContents Processes(const std::u16string& text) {
  std::vector<std::u16string> lines = SplitLines(text);
  const std::size_t found = FindColumnsIn(lines, true).size();
  static const char16_t* const kHeaders[] = {
      u"^id|file name|priority|path",
      u"^id|file name|session|priority|path",
      u"^id|file name|gdi objects|user objects|priority|path",
      u"^id|file name|session|gdi objects|user objects|priority|path",
  };
  if (found < 3 || found > 6) return FormatGeneric(text);
  return FoundColumns(text, kHeaders[found - 3], false);
}

bool IsCallStackTab(const std::u16string& tab) {
  return tab == u"call stack" || tab == u"call stacks";
}

}  // namespace

std::vector<std::u16string> DetailTabs(const std::vector<std::u16string>& headerNames,
                                       const std::vector<std::u16string>& sectionNames) {
  const std::size_t threads = ThreadCount(sectionNames);
  std::vector<std::u16string> tabs;
  const std::u16string callStack = threads > 1 ? u"call stacks" : u"call stack";
  bool dumpFirst = false;
  if (IsLeak(headerNames)) {
    dumpFirst = std::find(sectionNames.begin() + std::ptrdiff_t(threads), sectionNames.end(),
                          u"memory dump") != sectionNames.end();
    tabs.push_back(dumpFirst ? u"memory dump" : callStack);
    // The allocation's stack still has a place when the dump comes first.
    if (dumpFirst && threads > 0) tabs.push_back(callStack);
  } else {
    tabs = {u"general", callStack};
  }
  for (std::size_t i = threads; i < sectionNames.size(); ++i) {
    if (dumpFirst && sectionNames[i] == u"memory dump") continue;
    const std::u16string title = TabTitle(sectionNames[i]);
    if (std::find(tabs.begin(), tabs.end(), title) == tabs.end()) tabs.push_back(title);
  }
  return tabs;
}

std::u16string TabText(const std::u16string& tab,
                       const std::vector<std::pair<std::u16string, std::u16string>>& header,
                       const std::vector<std::pair<std::u16string, std::u16string>>& sections) {
  std::vector<std::u16string> names;
  for (const auto& s : sections) names.push_back(s.first);
  const std::size_t threads = ThreadCount(names);
  std::u16string text;
  if (tab == u"general") {
    for (const auto& [name, value] : header) {
      if (!text.empty()) text += u"\r\n";
      text += name + u'\t' + value;
    }
    return text;
  }
  if (IsCallStackTab(tab)) {
    for (std::size_t i = 0; i < threads; ++i)
      text += u"\r\n\r\n>> " + sections[i].first + u"\r\n" + sections[i].second;
    return text.size() >= 4 ? text.substr(4) : text;
  }
  for (std::size_t i = threads; i < sections.size(); ++i)
    if (TabTitle(sections[i].first) == tab) return sections[i].second;
  return text;
}

TabContents FormatTab(const std::u16string& tab, const std::u16string& text) {
  TabContents t;
  if (Contains(text, u">> will be")) {
    t = FormatGeneric(text);
  } else if (Contains(text, u">> internal")) {
    t = FormatCallStack(text);
  } else if (tab == u"general") {
    t = TwoColumnsAtTab(text);
  } else if (tab == u"memory dump" || tab == u"stack dump") {
    t = FixedCuts(text);
  } else if (IsCallStackTab(tab)) {
    t = FormatCallStack(text);
  } else if (tab == u"modules") {
    t = FoundColumns(text, u"^handle|file name| version|path", false);
  } else if (tab == u"cpu regs" || tab == u"cpu registers") {
    t = FoundColumns(text, u"reg.|content", true);
  } else if (tab == u"processes") {
    t = Processes(text);
  } else if (tab == u"disasm" || tab == u"disassembling") {
    t = FormatDisassembly(text);
  } else {
    t = FormatGeneric(text);
  }
  for (ListRow& row : t.rows) row.text = DoubleAmpersands(row.text);
  return t;
}

namespace parts {

TabContents FormatGeneric(const std::u16string& text) {
  TabContents t;
  std::vector<std::u16string> lines = SplitLines(text);
  const bool header = StartsWith(text, u"^");
  std::size_t longLines = 0;
  for (const std::u16string& line : lines) longLines += line.size() > 80;
  const std::size_t shortLines = lines.size() - longLines;
  if (!header && !(lines.size() >= 2 && longLines * 5 < shortLines)) {
    t.plainText = text;
    return t;
  }
  t.list = true;
  if (header) {
    std::u16string titles = lines.front().substr(1);
    std::replace(titles.begin(), titles.end(), u'\t', u'|');
    t.columns = Columns(titles);
    for (std::size_t i = 1; i < lines.size(); ++i) t.rows.push_back({lines[i]});
    return t;
  }
  t.columnHeader = false;

  // "+" and "-" lines (a first "!" line allowed) form one column of marked rows.
  bool marked = true;
  for (std::size_t i = 0; i < lines.size() && marked; ++i) {
    std::u16string_view line = lines[i];
    if (i == 0 && StartsWith(line, u"!")) line.remove_prefix(1);
    const std::size_t first = line.find_first_not_of(u' ');
    if (first == line.npos) continue;
    marked = line[first] == u'+' || line[first] == u'-';
  }
  if (marked) {
    t.columns = {ListColumn{}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::u16string line = lines[i];
      std::uint32_t colour = 0;
      if (i == 0 && StartsWith(line, u"!")) {
        line.erase(0, 1);
        colour = kLightRed;
      }
      std::replace(line.begin(), line.end(), u'\t', u' ');
      const std::size_t first = line.find_first_not_of(u' ');
      if (first != line.npos) {
        if (!colour && line[first] == u'+') colour = kLightBlue;
        std::fill_n(line.begin(), first, kNoBreakSpace);
      }
      t.rows.push_back({line, colour});
    }
    return t;
  }

  if (text.find(u'\t') != text.npos) {
    std::size_t cells = 1;
    for (const std::u16string& line : lines)
      cells = std::max<std::size_t>(cells, 1 + std::count(line.begin(), line.end(), u'\t'));
    t.columns.resize(cells);
    for (const std::u16string& line : lines) t.rows.push_back({line});
    return t;
  }

  const std::vector<std::size_t> boundaries = FindColumnsIn(lines, true);
  t.columns.resize(boundaries.size() + 1);
  for (const std::u16string& line : lines) {
    if (StartsWith(line, u">>"))
      t.rows.push_back({line, kWhite, true});
    else
      t.rows.push_back({CutLine(line, boundaries, boundaries.size())});
  }
  return t;
}

}  // namespace parts
}  // namespace ostrel::box
