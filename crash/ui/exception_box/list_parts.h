#pragma once
// Pieces shared by the details view's formatters.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "crash/ui/exception_box/detail_lists.h"

namespace ostrel::box::parts {

inline constexpr std::uint32_t kLightBlue = 0x00FFF8F0;
inline constexpr std::uint32_t kLightRed = 0x00F4F4FF;
inline constexpr std::uint32_t kMarkerRed = 0x00D0D0FF;
inline constexpr std::uint32_t kWhite = 0x00FFFFFF;
inline constexpr char16_t kNoBreakSpace = 0x00A0;

// Lines split at carriage returns; a line feed after one is dropped.
std::vector<std::u16string> SplitLines(std::u16string_view text);
std::u16string Trim(std::u16string_view s);
std::u16string TrimRight(std::u16string_view s);
bool StartsWith(std::u16string_view s, std::u16string_view prefix);
// "a|^b| c": a leading "^" is right-aligned, a leading blank centred.
std::vector<ListColumn> Columns(std::u16string_view titles);

// The column finder on lines it may change: boundary characters become
// blanks.
std::vector<std::size_t> FindColumnsIn(std::vector<std::u16string>& lines, bool strict);
// The line cut at those boundaries that lie inside it (at most maxCuts),
// each cell trimmed, joined by tabs.
std::u16string CutLine(std::u16string_view line, const std::vector<std::size_t>& boundaries,
                       std::size_t maxCuts);

TabContents FormatGeneric(const std::u16string& text);
TabContents FormatCallStack(const std::u16string& text);
TabContents FormatDisassembly(const std::u16string& text);

}  // namespace ostrel::box::parts
