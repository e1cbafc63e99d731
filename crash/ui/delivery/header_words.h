#pragma once
// Header fields as mail carries them: 7-bit text, encoded words for the
// rest, long fields folded onto lines that begin with a blank.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::delivery {

// Encoded words are cut so that one follows "Subject: " or a continuation
// blank and its line stays within kHeaderLineLimit.
constexpr std::size_t kHeaderLineLimit = 76;
constexpr std::size_t kEncodedWordLimit = 66;

bool IsLatin1(std::u16string_view text);
// Blank to "~": nothing that needs quoting or encoding in a header.
bool IsPrintableAscii(std::u16string_view text);

// "=?UTF-8?B?...?=" words, each at most kEncodedWordLimit characters and
// each holding whole characters; an empty text gives one empty word.
std::vector<std::string> Utf8EncodedWords(std::u16string_view text);
// "=?ISO-8859-1?Q?...?=" words: every byte but digits and ASCII letters as
// "=" and two upper-case hexadecimal digits. The text must be Latin-1.
std::vector<std::string> Latin1EncodedWords(std::u16string_view text);

// A quoted string, with "\" before every quotation mark and backslash.
// The text must be printable ASCII.
std::string QuotedString(std::u16string_view text);

// "Name: " + the tokens joined by blanks + CR LF; a line break goes before
// a token that would take its line past kHeaderLineLimit.
std::string FoldHeader(std::string_view name, const std::vector<std::string>& tokens);

}  // namespace ostrel::delivery
