#pragma once
// The state and behaviour behind every settings object (TReporterSettings):
// lookups with their order and fallbacks, writes, lists and assistants.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "crash/settings/defaults_table.h"
#include "ostrel/reporter_settings.h"
#include "crash/settings/settings_lists.h"
#include "crash/settings/settings_platform.h"

namespace ostrel {

class SettingsEnvironment;

class SettingsCore {
 public:
  // A module's settings: takes a registry reference and the module's record.
  SettingsCore(SettingsEnvironment& env, ModuleHandle module);
  virtual ~SettingsCore();
  SettingsCore(const SettingsCore&) = delete;
  SettingsCore& operator=(const SettingsCore&) = delete;

  SettingsEnvironment& Env() const { return env_; }
  bool Valid() const { return valid_; }
  ModuleHandle Module() const { return module_; }
  // The list this object reads first and writes to.
  ModuleSettingsRecord* OwnList() const { return ownList_; }

  bool GetBool(const char* name);
  std::int32_t GetInt(const char* name);
  // Placeholders expanded (FrozenMsg excepted).
  std::u16string GetText(const char* name);
  std::string GetAnsi(const char* name);
  // As stored, placeholders left in.
  std::u16string GetUnexpandedText(const char* name);
  void SetBool(const char* name, bool value);
  void SetInt(const char* name, std::int32_t value);
  void SetText(const char* name, std::u16string_view value);
  void SetAnsi(const char* name, std::string_view value);

  bool PluginListed(std::u16string_view name);
  void SetPluginListed(std::u16string_view name, bool on);
  const std::u16string& ReadVersionText() const { return versionText_; }
  bool AssistantDefinitionFor(std::u16string_view name, AssistantDefinition& out);
  SettingsFieldList* FieldList();
  SettingsAttachmentList* AttachmentList();
  // The form cache belongs to the module's settings: an exception's
  // settings pass these on, so that values outlive the exception.
  virtual void CacheFormValues(IAssistantForms& assistant);
  virtual void RestoreFormValues(IAssistantForms& assistant);
  void Reparse();

  bool FlagSettingsFound() { return valid_; }
  bool FlagEnabled() { return GetBool("Enabled"); }
  bool FlagHasOwnSettings() { return !GetBool("NoSettings"); }
  bool FlagMinDebugInfoMissing() { return GetText("MinDebugInfo").empty(); }
  bool FlagCheckFileCrc() { return GetBool("CheckFileCrc"); }
  bool FlagCheckFreeze() { return GetBool("CheckFreeze"); }
  bool FlagReportLeaks() { return GetBool("ReportLeaks"); }
  bool FlagCheckOverruns() { return GetBool("CrashOnBuffer") && !GetBool("CrashOnUnderrun"); }
  bool FlagCheckUnderruns() { return GetBool("CrashOnBuffer") && GetBool("CrashOnUnderrun"); }

 protected:
  // For per-exception objects: always valid, reading `ownList` first.
  SettingsCore(SettingsEnvironment& env, ModuleHandle module, ModuleSettingsRecord* ownList,
               std::u16string versionText);

  struct Found {
    const SettingsProperty* property = nullptr;
    const DefaultSetting* fallback = nullptr;
    explicit operator bool() const { return property || fallback; }
  };
  // Called under the registry lock. With `create`, only the own list is
  // searched and the property appended there when absent.
  virtual Found FindProperty(std::string_view name, bool useDefaults, ValueKind kindIfCreated,
                             bool create);
  virtual bool AlwaysUsesDefaults() const { return false; }
  struct ExpansionArgs {
    std::u16string exceptClass, errorDetails, bugReport, exceptMsg;
  };
  // Other settings objects keep the exception placeholders for later.
  virtual ExpansionArgs ExpansionArguments();
  virtual bool TakesScreenshot() { return true; }
  virtual bool IsException() const { return false; }

  RegistryBlock* Registry() const { return registry_; }

 private:
  struct Raw {
    bool found = false;
    bool boolean = false;
    std::int32_t integer = 0;
    std::u16string text;
  };
  // Looks the key up with the fallbacks; `kind` picks what GlobalSettings is
  // asked for.
  Raw Read(const char* name, ValueKind kind);
  SettingsProperty* Writable(const char* name, ValueKind kind);
  std::u16string Expand(const char* name, std::u16string text);
  void LoadVersionText();

  SettingsEnvironment& env_;
  bool valid_ = false;
  bool ownsRecord_ = false;
  ModuleHandle module_ = 0;
  RegistryBlock* registry_ = nullptr;
  ModuleSettingsRecord* ownList_ = nullptr;
  std::u16string versionText_;
  std::mutex listsLock_;
  std::unique_ptr<SettingsAttachmentList> attachments_;
  std::unique_ptr<SettingsFieldList> fields_;
  std::vector<NameValue> formValues_;
};

}  // namespace ostrel
