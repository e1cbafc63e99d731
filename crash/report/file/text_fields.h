#pragma once
// Header fields and sections of a report text: header lines are
// "<name padded>: <contents>", sections "<title>:" after an empty line.
#include <string>
#include <string_view>

namespace ostrel {

// The contents of the named header field, trimmed; empty when absent. A
// field on the report's first line is not found (it has no CR LF before it).
std::u16string HeaderField(std::u16string_view report, std::u16string_view name);

// The contents of the named section after its "title:", up to the next empty
// line; empty when absent.
std::u16string ReportSection(std::u16string_view report, std::u16string_view title);

// Inserts "<name padded to the colon of afterName's line>: <contents>" as a
// new line after the line of afterName; nothing when that line is missing or
// has no colon.
void InsertHeaderField(std::u16string& report, std::u16string_view name,
                       std::u16string_view afterName, std::u16string_view contents);

// Both reports have the same contents for the field (two absent count as
// equal).
bool SameHeaderField(std::u16string_view a, std::u16string_view b, std::u16string_view name);

}  // namespace ostrel
