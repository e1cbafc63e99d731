#pragma once
// Packed strings: one block holding the text as NUL-terminated 8-bit text,
// followed by its NUL-terminated UTF-16 form when the 8-bit form loses
// anything. An empty text is a null pointer.

#include <cstddef>
#include <string>
#include <string_view>

#include "crash/settings/code_page.h"

namespace ostrel {

char* PackText(std::u16string_view text, const ICodePage& codePage);
// Stores 8-bit text as it is.
char* PackNarrow(std::string_view text);
void FreePacked(char* packed);

// Size of the block behind a packed pointer.
std::size_t PackedBlockSize(const char* packed);
bool PackedHasWideForm(const char* packed);

std::u16string UnpackText(const char* packed, const ICodePage& codePage);
std::string UnpackNarrow(const char* packed);

}  // namespace ostrel
