#pragma once
// What ExpandPlaceholders needs from Windows.

#include <functional>

#include "crash/settings/placeholders.h"

namespace ostrel {

class SettingsEnvironment;

// "Windows 7 x64 Service Pack 1 build 7601", as the report header has it.
std::u16string WindowsDescription();
// "1.2.3.4" from the module file's version resource; empty when it has none.
std::u16string FileVersionText(ModuleHandle module);

class WinPlaceholderSystem final : public IPlaceholderSystem {
 public:
  // `env` supplies the VersionVar text of a module's settings.
  explicit WinPlaceholderSystem(SettingsEnvironment* env) : env_(env) {}

  LocalTime Now() override;
  std::u16string ModuleFileName(ModuleHandle module) override;
  std::u16string ModuleVersion(ModuleHandle module) override;
  std::u16string ComputerName() override;
  std::u16string OsDescription() override;
  std::optional<std::u16string> FolderPath(ShellFolder folder) override;

  void SetEnvironment(SettingsEnvironment* env) { env_ = env; }
  // The bug report's own description of the system, when it provides one.
  void SetOsDescription(std::function<std::u16string()> describe) {
    describe_ = std::move(describe);
  }

 private:
  SettingsEnvironment* env_;
  std::function<std::u16string()> describe_;
};

}  // namespace ostrel
