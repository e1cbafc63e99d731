#pragma once
// The texts of the exception box that do not need the window: the message's
// line breaks.
#include <string>

namespace ostrel::box {

// Sentence ends start new lines: every ". " whose full stop lies at a
// 1-based position from length - 10 down to 20 gets "\r\n" for its blank.
// A message shorter than 30 characters is left as it is.
std::u16string BreakMessageLines(std::u16string message);

}  // namespace ostrel::box
