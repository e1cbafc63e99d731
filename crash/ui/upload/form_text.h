#pragma once
// How texts travel in forms and query strings: in the system code page when
// they fit it, else as UTF-8; names as encoded words when they need it.
#include <string>
#include <string_view>

#include "crash/settings/code_page.h"

namespace ostrel::upload {

// The text survives the trip through the code page unchanged.
bool FitsCodePage(std::u16string_view text, const ICodePage& codePage);

// "=?UTF-8?B?" + Base64 of the UTF-8 bytes + "?=".
std::string EncodedWord(std::u16string_view text);

// A name for a quoted header parameter (a form field's name, a file name):
// in the code page when it fits (and UTF-8 is not forced), else an encoded
// word. A name holding a quotation mark, a backslash or a control
// character is an encoded word too, so that it can never end the quoted
// text early or break the header line.
std::string HeaderParameterText(std::u16string_view name, const ICodePage& codePage,
                                bool alwaysUtf8);

// UTF-8 with every byte other than digits and ASCII letters as "%" and two
// upper-case hexadecimal digits.
std::string PercentEncoded(std::u16string_view text);

}  // namespace ostrel::upload
