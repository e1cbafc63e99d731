#pragma once
// The details view's model: its tabs, and each tab's contents laid out as a
// multi-column list (or, where no list fits, as plain text).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::box {

struct ListColumn {
  std::u16string title;
  bool right = false, centred = false;
};

struct ListRow {
  std::u16string text;       // cells separated by tabs
  std::uint32_t colour = 0;  // 0x00BBGGRR; 0: the columns' colours
  bool groupHeader = false;  // a ">> " line or an empty line: across the row
  bool boldHeader = false;
};

struct TabContents {
  bool list = false;  // false: a read-only edit with plainText
  bool fixedFont = false;
  bool columnHeader = true;
  std::vector<ListColumn> columns;
  std::vector<ListRow> rows;
  std::u16string plainText;
};

// The tab titles for a report's header field names and section names:
// "general", "call stack" (+"s" for more than one thread section), then one
// per other section ("cpu regs", "disasm" for their sections).
std::vector<std::u16string> DetailTabs(const std::vector<std::u16string>& headerNames,
                                       const std::vector<std::u16string>& sectionNames);

// The text a tab shows: general from the header fields, call stack(s) from
// the thread sections, others from their section.
std::u16string TabText(const std::u16string& tab,
                       const std::vector<std::pair<std::u16string, std::u16string>>& header,
                       const std::vector<std::pair<std::u16string, std::u16string>>& sections);

// The tab's text laid out by the first rule that fits.
TabContents FormatTab(const std::u16string& tab, const std::u16string& text);

// The column finder: boundary positions (0-based, where a new column
// starts) over the lines; lines beginning with ">>" are ignored.
std::vector<std::size_t> FindColumns(const std::vector<std::u16string>& lines, bool strict);

}  // namespace ostrel::box
