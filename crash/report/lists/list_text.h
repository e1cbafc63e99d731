#pragma once
// The module and process lists as report text: every column but the last is
// as wide as its longest text plus one blank; the last (the directory) is
// written as it is. Lines are joined by CR LF, with none at either end.
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

struct ModuleEntry {
  std::uint32_t handle = 0;
  std::u16string fileName, directory, version;
};

struct ProcessEntry {
  std::u16string fileName, directory;
  std::uint32_t processId = 0;
  std::uint32_t sessionId = 0;
  std::int32_t priorityClass = -1;  // -1: the process could not be opened
  std::uint32_t gdiObjects = 0, userObjects = 0;
};

std::u16string FormatModuleList(const std::vector<ModuleEntry>& modules);
std::u16string FormatProcessList(const std::vector<ProcessEntry>& processes);
std::u16string PriorityText(std::int32_t priorityClass);

// Directory and file name at the last backslash (the whole path is the
// name when there is none).
void SplitAtLastBackslash(const std::u16string& path, std::u16string& directory,
                          std::u16string& fileName);

// A process image path as the system reports it, made an ordinary path:
// "\SystemRoot\System32\" (any case) becomes the system directory and a
// backslash, a leading "\??\" goes.
std::u16string OrdinaryProcessPath(const std::u16string& path,
                                   const std::u16string& systemDirectory);

}  // namespace ostrel
