#pragma once
// Where an automatic save puts the bug report file.
#include <string>
#include <string_view>

namespace ostrel {

// The file name made absolute: a name shorter than 3 characters, or one that
// begins neither with "\" nor with a drive, goes after the executable's
// folder (with its trailing "\"); one beginning with a single "\" after the
// executable's drive; then "\.\" becomes "\" and "folder\..\" goes.
std::u16string AbsoluteReportPath(std::u16string_view name, std::u16string_view exeFolder);

}  // namespace ostrel
