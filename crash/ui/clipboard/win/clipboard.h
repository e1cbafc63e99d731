#pragma once
// Report texts on their way out: as UTF-8 bytes, and onto the clipboard.

#include <string>

namespace ostrel::rt {

std::string ToUtf8(const std::u16string& text);
// Replaces the clipboard's contents with the text (as Unicode text); an
// empty text leaves the clipboard alone.
void CopyToClipboard(const std::u16string& text);

}  // namespace ostrel::rt
