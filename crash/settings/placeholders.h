#pragma once
// %name% placeholders in reporter texts.

#include <optional>
#include <string>
#include <string_view>

#include "crash/settings/value_kind.h"

namespace ostrel {

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};

enum class ShellFolder { Desktop, UserAppData, CommonAppData };

class IPlaceholderSystem {
 public:
  virtual ~IPlaceholderSystem() = default;
  virtual LocalTime Now() = 0;
  // Full path of the module's file; module 0 is the executable.
  virtual std::u16string ModuleFileName(ModuleHandle module) = 0;
  // VersionVar text of the module's settings, else its file version text;
  // empty when neither exists.
  virtual std::u16string ModuleVersion(ModuleHandle module) = 0;
  virtual std::u16string ComputerName() = 0;
  virtual std::u16string OsDescription() = 0;
  // Empty optional: the system does not know the folder. Empty text: it
  // knows it but yields no path.
  virtual std::optional<std::u16string> FolderPath(ShellFolder folder) = 0;
};

std::u16string FormatDate(const LocalTime& t);
std::u16string FormatTime(const LocalTime& t);

std::u16string ExpandPlaceholders(IPlaceholderSystem& system, ModuleHandle module,
                                  std::u16string_view text, std::u16string_view exceptClass,
                                  std::u16string_view errorDetails, std::u16string_view bugReport,
                                  std::u16string_view exceptMsg);

}  // namespace ostrel
