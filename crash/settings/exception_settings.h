#pragma once
// Settings of one exception: every key can be overridden for this exception
// alone. The exception report object derives from ExceptionSettingsCore and
// ReporterSettingsAdaptor<IExceptionReport>; TExceptionSettings is the plain
// form of it.

#include "ostrel/com_ptr.h"
#include "crash/base/ref_counted.h"
#include "crash/settings/settings_adaptors.h"

namespace ostrel {

class ExceptionSettingsCore : public SettingsCore {
 public:
  // Reads fall back to `moduleSettings`, then to the built-in defaults.
  ExceptionSettingsCore(SettingsEnvironment& env, ComPtr<IReporterModuleSettings> moduleSettings);
  ~ExceptionSettingsCore() override;

  const ComPtr<IReporterModuleSettings>& ModuleSettings() const { return moduleSettings_; }
  // The exception's private list; empty at creation.
  const ModuleSettingsRecord& OverrideList() const { return overrides_; }
  void CacheFormValues(IAssistantForms& assistant) override;
  void RestoreFormValues(IAssistantForms& assistant) override;

 protected:
  Found FindProperty(std::string_view name, bool useDefaults, ValueKind kindIfCreated,
                     bool create) override;
  bool AlwaysUsesDefaults() const override { return true; }
  bool IsException() const override { return true; }

 private:
  ComPtr<IReporterModuleSettings> moduleSettings_;
  SettingsCore* moduleCore_;
  ModuleSettingsRecord overrides_{};
};

class TExceptionSettings final : public ReporterSettingsAdaptor<IReporterSettings>,
                                 public SettingsLookupAdaptor,
                                 public ExceptionSettingsCore {
 public:
  struct Exception {
    std::u16string className, message;
    std::u16string errorDetails = u"%errorDetails%";  // until the report has sections
    bool screenshot = true;
  };
  static ComPtr<IReporterSettings> Create(SettingsEnvironment& env,
                                          ComPtr<IReporterModuleSettings> moduleSettings,
                                          Exception exception);

  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override { return refs_.Increment(); }
  std::uint32_t OSTREL_CALL Release() override;
  SettingsCore& Core() override { return *this; }

 protected:
  ExpansionArgs ExpansionArguments() override;
  bool TakesScreenshot() override { return exception_.screenshot; }

 private:
  TExceptionSettings(SettingsEnvironment& env, ComPtr<IReporterModuleSettings> moduleSettings,
                     Exception exception)
      : ExceptionSettingsCore(env, std::move(moduleSettings)), exception_(std::move(exception)) {}
  ~TExceptionSettings() override = default;
  Exception exception_;
  RefCount refs_;
};

}  // namespace ostrel
