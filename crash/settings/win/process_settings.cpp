#include "crash/settings/win/process_settings.h"

namespace ostrel {

namespace {

struct ProcessState {
  WinSettingsPlatform platform;
  WinPlaceholderSystem system{nullptr};
  SettingsEnvironment env{platform, system};
  ProcessState() { system.SetEnvironment(&env); }
};

// Never destroyed: settings objects may be released during process exit.
ProcessState& State() {
  static ProcessState* state = new ProcessState();
  return *state;
}

}  // namespace

SettingsEnvironment& ProcessSettings() { return State().env; }
WinSettingsPlatform& ProcessSettingsPlatform() { return State().platform; }
WinPlaceholderSystem& ProcessPlaceholderSystem() { return State().system; }

ComPtr<IReporterModuleSettings> InitGlobalSettings() {
  SettingsEnvironment& env = ProcessSettings();
  ComPtr<IReporterModuleSettings> global = env.SettingsForModule(env.Platform().ReporterModule());
  env.SetGlobalSettings(global);
  return global;
}

void ShutdownGlobalSettings() {
  SettingsEnvironment& env = ProcessSettings();
  env.SetGlobalSettings({});
  env.UnlistModuleSettings(env.Platform().ReporterModule());
}

ComPtr<IReporterModuleSettings> SettingsForModule(ModuleHandle module) {
  return ProcessSettings().SettingsForModule(module);
}

ComPtr<IReporterModuleSettings> SettingsForAddress(std::uintptr_t address) {
  return ProcessSettings().SettingsForAddress(address);
}

ComPtr<IReporterModuleSettings> SettingsForCaller(int level) {
  return ProcessSettings().SettingsForCaller(level + 1);
}

ComPtr<IReporterModuleSettings> FindSettingsModule() {
  return ProcessSettings().FindSettingsModule();
}

ComPtr<IReporterModuleSettings> GlobalSettings() { return ProcessSettings().GlobalSettings(); }

std::u16string ExpandPlaceholders(ModuleHandle module, std::u16string_view text,
                                  std::u16string_view exceptClass, std::u16string_view errorDetails,
                                  std::u16string_view bugReport, std::u16string_view exceptMsg) {
  return ostrel::ExpandPlaceholders(ProcessPlaceholderSystem(), module, text, exceptClass,
                                    errorDetails, bugReport, exceptMsg);
}

}  // namespace ostrel
