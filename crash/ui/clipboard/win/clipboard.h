#pragma once
// Report texts onto the clipboard.

#include <string>

namespace ostrel {

// Replaces the clipboard's contents with the text (as Unicode text); an
// empty text leaves the clipboard alone.
void CopyToClipboard(const std::u16string& text);

}  // namespace ostrel
