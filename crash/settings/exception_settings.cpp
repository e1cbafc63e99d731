#include "crash/settings/exception_settings.h"

#include "crash/settings/reporter_settings.h"

namespace ostrel {

namespace {

std::u16string VersionOf(const ComPtr<IReporterModuleSettings>& settings) {
  std::u16string v;
  if (settings) settings->VersionText(v);
  return v;
}

}  // namespace

ExceptionSettingsCore::ExceptionSettingsCore(SettingsEnvironment& env,
                                             ComPtr<IReporterModuleSettings> moduleSettings)
    : SettingsCore(env, moduleSettings ? moduleSettings->OwnerModule() : 0, &overrides_,
                   VersionOf(moduleSettings)),
      moduleSettings_(std::move(moduleSettings)),
      moduleCore_(CoreOf(moduleSettings_.Get())) {}

ExceptionSettingsCore::~ExceptionSettingsCore() { ClearProperties(overrides_); }

SettingsCore::Found ExceptionSettingsCore::FindProperty(std::string_view name, bool,
                                                        ValueKind kindIfCreated, bool create) {
  Found f = SettingsCore::FindProperty(name, false, kindIfCreated, create);
  if (f || create) return f;
  if (moduleCore_ && moduleCore_->OwnList())
    f.property = ostrel::FindProperty(*moduleCore_->OwnList(), name);
  if (!f.property) f.fallback = FindDefaultSetting(name);
  return f;
}

ComPtr<IReporterSettings> TExceptionSettings::Create(SettingsEnvironment& env,
                                                     ComPtr<IReporterModuleSettings> moduleSettings,
                                                     Exception exception) {
  return ComPtr<IReporterSettings>(
      new TExceptionSettings(env, std::move(moduleSettings), std::move(exception)));
}

HResult TExceptionSettings::QueryInterface(const Guid& iid, void** out) {
  if (!out) return kPointer;
  if (SameGuid(iid, kIidUnknown) || SameGuid(iid, kIidReporterSettings)) {
    *out = static_cast<IReporterSettings*>(this);
  } else if (SameGuid(iid, kIidSettingsLookup)) {
    *out = static_cast<ISettingsLookup*>(this);
  } else {
    *out = nullptr;
    return kNoInterface;
  }
  AddRef();
  return kOk;
}

std::uint32_t TExceptionSettings::Release() {
  const std::uint32_t n = refs_.Decrement();
  if (n == 0) delete this;
  return n;
}

SettingsCore::ExpansionArgs TExceptionSettings::ExpansionArguments() {
  // An exception without a message reads as "Unknown.".
  return {exception_.className, exception_.errorDetails, u"%bugReport%",
          exception_.message.empty() ? u"Unknown." : exception_.message};
}

void ExceptionSettingsCore::CacheFormValues(IAssistantForms& assistant) {
  if (moduleCore_)
    moduleCore_->CacheFormValues(assistant);
  else
    SettingsCore::CacheFormValues(assistant);
}

void ExceptionSettingsCore::RestoreFormValues(IAssistantForms& assistant) {
  if (moduleCore_)
    moduleCore_->RestoreFormValues(assistant);
  else
    SettingsCore::RestoreFormValues(assistant);
}

}  // namespace ostrel
