#include "crash/settings/settings_environment.h"

#include <set>
#include <vector>

#include "crash/settings/reporter_settings.h"
#include "crash/settings/settings_registry.h"

namespace ostrel {

namespace {

bool ValidWithOwn(const ComPtr<IReporterModuleSettings>& s) {
  return s && s->SettingsFound() && s->HasOwnSettings();
}

}  // namespace

SettingsEnvironment::SettingsEnvironment(ISettingsPlatform& platform, IPlaceholderSystem& system)
    : platform_(platform), system_(system) {}

SettingsEnvironment::~SettingsEnvironment() { SetGlobalSettings({}); }

void SettingsEnvironment::SetGlobalSettings(ComPtr<IReporterModuleSettings> settings) {
  ComPtr<ISettingsLookup> lookup;
  ModuleHandle module = 0;
  if (settings) {
    lookup = settings.As<ISettingsLookup>(kIidSettingsLookup);
    module = settings->OwnerModule();
  }
  {
    std::lock_guard g(globalLock_);
    global_.Swap(settings);
    globalLookup_.Swap(lookup);
    globalModule_ = module;
  }
  // The old object goes outside the lock: its release may read settings.
}

ComPtr<IReporterModuleSettings> SettingsEnvironment::GlobalSettings() const {
  std::lock_guard g(globalLock_);
  return global_;
}

ComPtr<ISettingsLookup> SettingsEnvironment::GlobalLookup(ModuleHandle& module) const {
  std::lock_guard g(globalLock_);
  module = globalModule_;
  return globalLookup_;
}

ComPtr<IReporterModuleSettings> SettingsEnvironment::MakeModuleSettings(ModuleHandle module) {
  if (module == 0) module = platform_.ExecutableModule();
  return TReporterSettings::Create(*this, module);
}

bool SettingsEnvironment::HasSettingsResource(ModuleHandle module) {
  std::vector<std::uint8_t> data;
  return module != 0 && platform_.LoadSettingsResource(module, data);
}

ComPtr<IReporterModuleSettings> SettingsEnvironment::SettingsForModule(ModuleHandle module) {
  ComPtr<IReporterModuleSettings> own = MakeModuleSettings(module);
  if (ValidWithOwn(own) || (!own->SettingsFound() && !SharedPackageMode())) return own;
  ComPtr<IReporterModuleSettings> found = FindSettingsModule();
  return ValidWithOwn(found) ? found : own;
}

ComPtr<IReporterModuleSettings> SettingsEnvironment::FindSettingsModule() {
  ComPtr<IReporterModuleSettings> candidate;
  std::set<ModuleHandle> seen;
  auto consider = [&](ModuleHandle m) {
    if (m == 0 || !seen.insert(m).second || !HasSettingsResource(m)) return;
    ComPtr<IReporterModuleSettings> s = MakeModuleSettings(m);
    if (!candidate || ValidWithOwn(s)) candidate = s;
  };
  consider(platform_.ReporterModule());
  if (!ValidWithOwn(candidate)) consider(platform_.DevelopmentPackageModule());
  if (ValidWithOwn(candidate)) return candidate;
  for (ModuleHandle m : platform_.ModulesInAddressOrder()) {
    consider(m);
    if (ValidWithOwn(candidate)) break;
  }
  return candidate;
}

ComPtr<IReporterModuleSettings> SettingsEnvironment::SettingsForAddress(std::uintptr_t address) {
  ComPtr<IReporterModuleSettings> result;
  const ModuleHandle m = platform_.ModuleContaining(address);
  if (m != 0 && m != platform_.ReporterModule() && HasSettingsResource(m))
    result = MakeModuleSettings(m);
  if (!result || (result->SettingsFound() && !result->HasOwnSettings())) {
    ComPtr<IReporterModuleSettings> found = FindSettingsModule();
    if (found && (!result || ValidWithOwn(found))) result = found;
  }
  return result ? result : MakeModuleSettings(platform_.ReporterModule());
}

ComPtr<IReporterModuleSettings> SettingsEnvironment::SettingsForCaller(int level) {
  // One more level: this routine's own frame.
  const std::uintptr_t address = platform_.CallerReturnAddress(level + 1);
  return SettingsForModule(address ? platform_.ModuleContaining(address) : 0);
}

void SettingsEnvironment::UnlistModuleSettings(ModuleHandle module) {
  RegistryBlock* registry = platform_.AcquireRegistry();
  if (!registry) return;
  UnlistModuleRecord(platform_, *registry, module);
  platform_.ReleaseRegistry(registry);
}

}  // namespace ostrel
