#include "crash/settings/reporter_settings.h"

namespace ostrel {

ComPtr<IReporterModuleSettings> TReporterSettings::Create(SettingsEnvironment& env,
                                                          ModuleHandle module) {
  return ComPtr<IReporterModuleSettings>(new TReporterSettings(env, module));
}

HResult TReporterSettings::QueryInterface(const Guid& iid, void** out) {
  if (!out) return kPointer;
  if (SameGuid(iid, kIidUnknown) || SameGuid(iid, kIidReporterSettings) ||
      SameGuid(iid, kIidReporterModuleSettings)) {
    *out = static_cast<IReporterModuleSettings*>(this);
  } else if (SameGuid(iid, kIidSettingsLookup)) {
    *out = static_cast<ISettingsLookup*>(this);
  } else {
    *out = nullptr;
    return kNoInterface;
  }
  AddRef();
  return kOk;
}

std::uint32_t TReporterSettings::Release() {
  const std::uint32_t n = refs_.Decrement();
  if (n == 0) delete this;
  return n;
}

SettingsCore* CoreOf(IUnknownBase* object) {
  void* lookup = nullptr;
  if (!object || object->QueryInterface(kIidSettingsLookup, &lookup) != kOk) return nullptr;
  auto* l = static_cast<ISettingsLookup*>(lookup);
  auto* core = static_cast<SettingsCore*>(l->ImplementingObject());
  l->Release();
  return core;
}

}  // namespace ostrel
