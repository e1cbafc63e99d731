// Comparisons that ignore letter case, in the two foldings the reporter
// uses: ASCII letters only (names, keywords, file names, header fields), and
// Latin-1 letters below 256 (names people type: fields, tracker lists,
// hardware classes). No folding ever depends on the locale.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// Folds 'A'-'Z' to 'a'-'z'; every other character is left as it is.
char AsciiLower(char c);
char16_t AsciiLower(char16_t c);
// Folds 'a'-'z' to 'A'-'Z'; every other character is left as it is.
char16_t AsciiUpper(char16_t c);

// Equal with ASCII letters folded.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
// Prefix or suffix with ASCII letters folded.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);
bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix);
// First place at or after `from` where `part` starts, ASCII letters folded;
// npos when there is none. An empty part is found at `from`.
std::size_t FindNoCase(std::u16string_view text, std::u16string_view part, std::size_t from = 0);
// Somewhere inside, ASCII letters folded; an empty part is always inside.
bool ContainsNoCase(std::string_view text, std::string_view part);
bool ContainsNoCase(std::u16string_view text, std::u16string_view part);

// Folds 'A'-'Z' and U+00C0-U+00DE (but not the sign U+00D7) to lower case;
// every other character, U+0100 and above among them, is left as it is.
char16_t Latin1Lower(char16_t c);
// Equal with Latin-1 letters folded.
bool EqualsNoCaseLatin1(std::u16string_view a, std::u16string_view b);
// Negative, 0 or positive as a sorts before, with or after b, character by
// character with Latin-1 letters folded, a prefix before the longer text.
int CompareNoCaseLatin1(std::u16string_view a, std::u16string_view b);

}  // namespace ostrel
