#pragma once
// The message and class texts an exception report shows for its exception.

#include <optional>
#include <string>
#include <string_view>

#include "ostrel/report_types.h"

namespace ostrel {

// Control characters other than CR and LF removed, blanks and control
// characters trimmed at both ends, "Unknown" when nothing is left, and the
// end made exactly one ".".
std::u16string NormaliseExceptionText(std::u16string_view message);

// "EFrozen" for a freeze; otherwise the class name, "Unknown" without a
// valid object.
std::u16string ExceptionClassText(ReportKind kind, std::optional<std::u16string_view> className);

}  // namespace ostrel
