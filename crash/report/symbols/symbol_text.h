// Text helpers shared by the symbol readers. UTF-8 and UTF-16, and the
// comparisons that ignore ASCII case, as unit and file names need, come from
// the base.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crash/base/text_case.h"
#include "crash/base/utf.h"

namespace ostrel {

// The unit of a source file: ".cpp" and ".h" are the extensions our toolchain
// gives program and unit sources.
std::u16string StripSourceExtension(std::u16string_view unit);

// File name without folder, and without extension.
std::u16string_view FileNamePart(std::u16string_view path);
std::u16string_view WithoutExtension(std::u16string_view path);

std::u16string DecimalText(std::int64_t value);

}  // namespace ostrel
