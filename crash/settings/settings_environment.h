#pragma once
// The settings of one process as one copy of the reporter sees them: the
// system it runs on, GlobalSettings, and the ways to find a module's
// settings.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "ostrel/com_ptr.h"
#include "crash/settings/placeholders.h"
#include "ostrel/reporter_settings.h"
#include "crash/settings/settings_platform.h"

namespace ostrel {

class SettingsEnvironment {
 public:
  SettingsEnvironment(ISettingsPlatform& platform, IPlaceholderSystem& system);
  ~SettingsEnvironment();
  SettingsEnvironment(const SettingsEnvironment&) = delete;
  SettingsEnvironment& operator=(const SettingsEnvironment&) = delete;

  ISettingsPlatform& Platform() const { return platform_; }
  IPlaceholderSystem& System() const { return system_; }

  // Made once at start-up from the module that hosts the reporter.
  void SetGlobalSettings(ComPtr<IReporterModuleSettings> settings);
  ComPtr<IReporterModuleSettings> GlobalSettings() const;
  // GlobalSettings' lookup and module, for the fallback of other objects.
  ComPtr<ISettingsLookup> GlobalLookup(ModuleHandle& module) const;

  // The reporter's code is linked into each module, never a shared package.
  bool SharedPackageMode() const { return false; }

  // The settings object of exactly this module (0: the executable).
  ComPtr<IReporterModuleSettings> MakeModuleSettings(ModuleHandle module);
  ComPtr<IReporterModuleSettings> SettingsForModule(ModuleHandle module);
  ComPtr<IReporterModuleSettings> SettingsForAddress(std::uintptr_t address);
  ComPtr<IReporterModuleSettings> SettingsForCaller(int level);
  ComPtr<IReporterModuleSettings> FindSettingsModule();
  bool HasSettingsResource(ModuleHandle module);

  // The reporter's shutdown: the hosting module's record leaves the registry.
  void UnlistModuleSettings(ModuleHandle module);

 private:
  ISettingsPlatform& platform_;
  IPlaceholderSystem& system_;
  mutable std::mutex globalLock_;
  ComPtr<IReporterModuleSettings> global_;
  ComPtr<ISettingsLookup> globalLookup_;
  ModuleHandle globalModule_ = 0;
};

}  // namespace ostrel
