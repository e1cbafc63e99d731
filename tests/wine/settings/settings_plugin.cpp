// A library with its own copy of the reporter and its own settings, loaded
// next to the test program.
#include <windows.h>

#include "crash/settings/settings_registry.h"
#include "crash/settings/win/process_settings.h"

using namespace ostrel;

extern "C" {

__declspec(dllexport) void PluginInit() { InitGlobalSettings(); }

__declspec(dllexport) void PluginShutdown() { ShutdownGlobalSettings(); }

// The registry block this copy finds through the named shared memory.
__declspec(dllexport) void* PluginRegistryBlock() {
  WinSettingsPlatform& platform = ProcessSettingsPlatform();
  RegistryBlock* block = platform.AcquireRegistry();
  platform.ReleaseRegistry(block);
  return block;
}

__declspec(dllexport) int PluginLimitDisAsmOf(HMODULE module) {
  return SettingsForModule(reinterpret_cast<ModuleHandle>(module))->LimitDisAsm();
}

__declspec(dllexport) void PluginSetLimitDisAsmOf(HMODULE module, int value) {
  SettingsForModule(reinterpret_cast<ModuleHandle>(module))->SetLimitDisAsm(value);
}

__declspec(dllexport) int PluginAutoDelayOf(HMODULE module) {
  return SettingsForModule(reinterpret_cast<ModuleHandle>(module))->AutoDelay();
}

__declspec(dllexport) int PluginGlobalAutoDelay() { return GlobalSettings()->AutoDelay(); }

__declspec(dllexport) int PluginMailSubject(wchar_t* out, int size) {
  std::u16string subj;
  GlobalSettings()->MailSubj(subj);
  lstrcpynW(out, reinterpret_cast<const wchar_t*>(subj.c_str()), size);
  return static_cast<int>(subj.size());
}

}  // extern "C"
