#pragma once
// TReporterSettings: the settings object of one module.

#include "ostrel/com_ptr.h"
#include "crash/base/ref_counted.h"
#include "crash/settings/settings_adaptors.h"

namespace ostrel {

class TReporterSettings final : public ModuleSettingsAdaptor<IReporterModuleSettings>,
                                public SettingsLookupAdaptor,
                                public SettingsCore {
 public:
  static ComPtr<IReporterModuleSettings> Create(SettingsEnvironment& env, ModuleHandle module);

  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override { return refs_.Increment(); }
  std::uint32_t OSTREL_CALL Release() override;
  SettingsCore& Core() override { return *this; }

 private:
  using SettingsCore::SettingsCore;
  ~TReporterSettings() override = default;
  RefCount refs_;
};

// The core behind any settings interface of this reporter; null for others.
SettingsCore* CoreOf(IUnknownBase* object);

}  // namespace ostrel
