#pragma once
// The long form of a file path whose components may be short (8.3) names.
#include <functional>
#include <string>

namespace ostrel {

// The file system's own name of the last component of path, or empty when
// it does not know the path.
using FindFileName = std::function<std::u16string(const std::u16string& path)>;

// Components with "~" (and no "*" or "?") are looked up; the drive part (a
// drive letter and colon, or a UNC server and share) stays as it is; a path
// without one comes back unchanged, less a trailing backslash.
std::u16string ExpandShortPath(std::u16string path, const FindFileName& find);

}  // namespace ostrel
