#pragma once
// Shared set-up for the settings tests: an in-memory process with modules.

#include <map>
#include <string>
#include <vector>

#include "crash/settings/memory_platform.h"
#include "crash/settings/placeholders.h"
#include "crash/settings/property_stream.h"
#include "crash/settings/reporter_settings.h"
#include "crash/settings/settings_environment.h"

namespace ostrel::testing {

constexpr ModuleHandle kExe = 0x400000;
constexpr ModuleHandle kDll = 0x10000000;
constexpr ModuleHandle kOther = 0x20000000;

class FixedSystem : public IPlaceholderSystem {
 public:
  LocalTime now{2024, 3, 2, 9, 5, 3, 7};
  std::map<ModuleHandle, std::u16string> files{{0, u"C:\\Apps\\Pelmora.exe"},
                                               {kExe, u"C:\\Apps\\Pelmora.exe"},
                                               {kDll, u"C:\\Apps\\plugin.dll"}};
  std::map<ModuleHandle, std::u16string> versions{{0, u"1.1.0.7"}, {kExe, u"1.1.0.7"}};
  std::map<ShellFolder, std::optional<std::u16string>> folders{
      {ShellFolder::Desktop, u"C:\\Users\\ann\\Desktop\\"},
      {ShellFolder::UserAppData, u"C:\\Users\\ann\\AppData\\Roaming"},
      {ShellFolder::CommonAppData, u"C:\\ProgramData"}};
  int clockReads = 0;

  LocalTime Now() override {
    ++clockReads;
    return now;
  }
  std::u16string ModuleFileName(ModuleHandle m) override { return files[m]; }
  std::u16string ModuleVersion(ModuleHandle m) override { return versions[m]; }
  std::u16string ComputerName() override { return u"DESK-7"; }
  std::u16string OsDescription() override { return u"Windows 7 build 7601 Service Pack 1"; }
  std::optional<std::u16string> FolderPath(ShellFolder f) override { return folders[f]; }
};

inline std::vector<std::uint8_t> Stream(const std::vector<StreamProperty>& props) {
  return WritePropertyStream(props);
}

// A process: the executable hosts the reporter.
struct Process {
  MemorySettingsPlatform platform;
  FixedSystem system;
  SettingsEnvironment env{platform, system};

  void Module(ModuleHandle m, const std::vector<StreamProperty>& props) {
    platform.SetResource(m, Stream(props));
  }
  ComPtr<IReporterModuleSettings> Make(ModuleHandle m) { return env.MakeModuleSettings(m); }
  ComPtr<IReporterModuleSettings> MakeGlobal(ModuleHandle m) {
    auto g = env.MakeModuleSettings(m);
    env.SetGlobalSettings(g);
    return g;
  }
  ~Process() { env.SetGlobalSettings({}); }
};

inline std::u16string Text(IReporterSettings& s,
                           void (OSTREL_CALL IReporterSettings::*getter)(std::u16string&)) {
  std::u16string out;
  (s.*getter)(out);
  return out;
}

}  // namespace ostrel::testing
