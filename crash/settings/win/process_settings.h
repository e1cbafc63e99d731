#pragma once
// The settings of this process as this module's copy of the reporter sees
// them. The reporter's start-up calls InitGlobalSettings() before anything
// reads a setting; its shutdown calls ShutdownGlobalSettings().

#include "crash/settings/settings_environment.h"
#include "crash/settings/win/win_placeholder_system.h"
#include "crash/settings/win/win_settings_platform.h"

namespace ostrel {

SettingsEnvironment& ProcessSettings();
WinSettingsPlatform& ProcessSettingsPlatform();
WinPlaceholderSystem& ProcessPlaceholderSystem();

// GlobalSettings = SettingsForModule of the module that contains the reporter.
ComPtr<IReporterModuleSettings> InitGlobalSettings();
void ShutdownGlobalSettings();

ComPtr<IReporterModuleSettings> SettingsForModule(ModuleHandle module);
ComPtr<IReporterModuleSettings> SettingsForAddress(std::uintptr_t address);
ComPtr<IReporterModuleSettings> SettingsForCaller(int level);
ComPtr<IReporterModuleSettings> FindSettingsModule();
ComPtr<IReporterModuleSettings> GlobalSettings();

std::u16string ExpandPlaceholders(ModuleHandle module, std::u16string_view text,
                                  std::u16string_view exceptClass, std::u16string_view errorDetails,
                                  std::u16string_view bugReport, std::u16string_view exceptMsg);

}  // namespace ostrel
