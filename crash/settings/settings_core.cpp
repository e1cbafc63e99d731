#include "crash/settings/settings_core.h"

#include <algorithm>

#include "crash/base/text_case.h"
#include "crash/settings/packed_string.h"
#include "crash/settings/placeholders.h"
#include "crash/settings/settings_environment.h"
#include "crash/settings/settings_registry.h"

namespace ostrel {

SettingsCore::SettingsCore(SettingsEnvironment& env, ModuleHandle module)
    : env_(env), ownsRecord_(true), module_(module) {
  ISettingsPlatform& platform = env.Platform();
  registry_ = platform.AcquireRegistry();
  if (!registry_) {
    platform.ShowMessage(u"internal error (opening settings buffer)");
    return;
  }
  ownList_ = AcquireModuleRecord(platform, *registry_, module);
  valid_ = ownList_ != nullptr;
  if (valid_) LoadVersionText();
}

SettingsCore::SettingsCore(SettingsEnvironment& env, ModuleHandle module,
                           ModuleSettingsRecord* ownList, std::u16string versionText)
    : env_(env),
      valid_(true),
      module_(module),
      ownList_(ownList),
      versionText_(std::move(versionText)) {
  registry_ = env.Platform().AcquireRegistry();
}

SettingsCore::~SettingsCore() {
  if (fields_) fields_->DetachOwner();
  if (attachments_) attachments_->DetachOwner();
  ISettingsPlatform& platform = env_.Platform();
  if (registry_) {
    if (ownsRecord_) ReleaseModuleRecord(platform, *registry_, ownList_);
    platform.ReleaseRegistry(registry_);
  }
}

void SettingsCore::LoadVersionText() {
  const std::int32_t offset = GetInt("VersionVar");
  std::string text;
  if (offset != 0 && env_.Platform().ReadVersionVar(module_, offset, text))
    versionText_ = env_.Platform().CodePage().Widen(text);
}

SettingsCore::Found SettingsCore::FindProperty(std::string_view name, bool useDefaults,
                                               ValueKind kindIfCreated, bool create) {
  Found f;
  if (ownList_) f.property = ostrel::FindProperty(*ownList_, name);
  if (create) {
    if (!f.property && ownList_) f.property = &AppendProperty(*ownList_, name, kindIfCreated);
    return f;
  }
  if (!f.property && useDefaults) f.fallback = FindDefaultSetting(name);
  return f;
}

SettingsCore::ExpansionArgs SettingsCore::ExpansionArguments() {
  return {u"%exceptClass%", u"%errorDetails%", u"%bugReport%", u"%exceptMsg%"};
}

SettingsCore::Raw SettingsCore::Read(const char* name, ValueKind kind) {
  bool useDefaults = AlwaysUsesDefaults();
  ComPtr<ISettingsLookup> global;
  if (!useDefaults) {
    ModuleHandle globalModule = 0;
    global = env_.GlobalLookup(globalModule);
    useDefaults = !global || globalModule == module_;
  }
  Raw raw;
  {
    RegistryLockGuard lock(env_.Platform(), registry_);
    const Found f = FindProperty(name, useDefaults, kind, false);
    if (f.property) {
      raw.found = true;
      raw.boolean = f.property->boolean != 0;
      raw.integer = f.property->integer;
      raw.text = UnpackText(f.property->text, env_.Platform().CodePage());
    } else if (f.fallback) {
      raw.found = true;
      raw.boolean = f.fallback->boolean != 0;
      raw.integer = f.fallback->integer;
      if (f.fallback->text) raw.text = env_.Platform().CodePage().Widen(f.fallback->text);
    }
  }
  if (raw.found || useDefaults) return raw;
  switch (kind) {
    case ValueKind::Boolean:
      raw.boolean = global->LookupBool(name);
      break;
    case ValueKind::Integer:
      raw.integer = global->LookupInt(name);
      break;
    case ValueKind::String:
      global->LookupText(name, raw.text);
      break;
  }
  return raw;
}

std::u16string SettingsCore::Expand(const char* name, std::u16string text) {
  // Expanding FrozenMsg would ask a freeze for its message: FrozenMsg itself.
  if (std::string_view(name) == "FrozenMsg") return text;
  const ExpansionArgs a = ExpansionArguments();
  return ExpandPlaceholders(env_.System(), module_, text, a.exceptClass, a.errorDetails,
                            a.bugReport, a.exceptMsg);
}

bool SettingsCore::GetBool(const char* name) { return Read(name, ValueKind::Boolean).boolean; }

std::int32_t SettingsCore::GetInt(const char* name) {
  return Read(name, ValueKind::Integer).integer;
}

std::u16string SettingsCore::GetText(const char* name) {
  return Expand(name, Read(name, ValueKind::String).text);
}

std::u16string SettingsCore::GetUnexpandedText(const char* name) {
  return Read(name, ValueKind::String).text;
}

std::string SettingsCore::GetAnsi(const char* name) {
  return env_.Platform().CodePage().Narrow(GetText(name));
}

SettingsProperty* SettingsCore::Writable(const char* name, ValueKind kind) {
  auto* p = const_cast<SettingsProperty*>(FindProperty(name, false, kind, true).property);
  return p && p->kind == kind ? p : nullptr;
}

void SettingsCore::SetBool(const char* name, bool value) {
  if (!valid_) return;
  RegistryLockGuard lock(env_.Platform(), registry_);
  if (SettingsProperty* p = Writable(name, ValueKind::Boolean)) p->boolean = value;
}

void SettingsCore::SetInt(const char* name, std::int32_t value) {
  if (!valid_) return;
  RegistryLockGuard lock(env_.Platform(), registry_);
  if (SettingsProperty* p = Writable(name, ValueKind::Integer)) p->integer = value;
}

void SettingsCore::SetText(const char* name, std::u16string_view value) {
  if (!valid_) return;
  char* packed = PackText(value, env_.Platform().CodePage());
  RegistryLockGuard lock(env_.Platform(), registry_);
  if (SettingsProperty* p = Writable(name, ValueKind::String))
    StorePacked(*p, packed);
  else
    FreePacked(packed);
}

void SettingsCore::SetAnsi(const char* name, std::string_view value) {
  SetText(name, env_.Platform().CodePage().Widen(value));
}

bool SettingsCore::PluginListed(std::u16string_view name) {
  return PluginListContains(GetText("Plugins"), name);
}

void SettingsCore::SetPluginListed(std::u16string_view name, bool on) {
  const std::u16string list = GetText("Plugins");
  if (PluginListContains(list, name) == on) return;
  SetText("Plugins", PluginListWith(list, name, on));
}

bool SettingsCore::AssistantDefinitionFor(std::u16string_view name, AssistantDefinition& out) {
  for (int n = 1;; ++n) {
    const std::string key = "Assistant" + std::to_string(n);
    const std::u16string text = GetText(key.c_str());
    if (text.empty()) return false;
    auto def = ParseAssistantDefinition(text);
    if (!def || !EqualsNoCase(def->name, name)) continue;
    if (!TakesScreenshot() || GetInt("ScrShotDepth") == 0)
      std::erase_if(def->pages,
                    [](const std::u16string& p) { return EqualsNoCase(p, u"ScrShotForm"); });
    def->module = module_;
    def->forException = IsException();
    out = std::move(*def);
    return true;
  }
}

SettingsFieldList* SettingsCore::FieldList() {
  std::lock_guard g(listsLock_);
  if (!fields_) {
    fields_ = std::make_unique<SettingsFieldList>(
        ParseFieldList(GetText("AddFields")),
        [this](const std::u16string& text) { SetText("AddFields", text); });
  }
  return fields_.get();
}

SettingsAttachmentList* SettingsCore::AttachmentList() {
  std::lock_guard g(listsLock_);
  if (!attachments_)
    attachments_ =
        std::make_unique<SettingsAttachmentList>(ParseAttachmentList(GetText("AddAttachs")));
  return attachments_.get();
}

void SettingsCore::CacheFormValues(IAssistantForms& assistant) {
  std::lock_guard g(listsLock_);
  for (int page = 0; page < assistant.PageCount(); ++page) {
    if (!assistant.PageEndedWithContinue(page)) continue;
    for (int i = 0; i < assistant.InputCount(page); ++i) {
      const std::u16string name = assistant.InputName(page, i);
      std::u16string value = assistant.InputIsCheckBox(page, i)
                                 ? std::u16string(assistant.InputChecked(page, i) ? u"+" : u"-")
                                 : assistant.InputText(page, i);
      auto it = std::find_if(formValues_.begin(), formValues_.end(),
                             [&](const NameValue& v) { return v.first == name; });
      if (it != formValues_.end())
        it->second = std::move(value);
      else
        formValues_.emplace_back(name, std::move(value));
    }
  }
}

void SettingsCore::RestoreFormValues(IAssistantForms& assistant) {
  std::lock_guard g(listsLock_);
  for (int page = 0; page < assistant.PageCount(); ++page) {
    const int inputs = assistant.InputCount(page);
    int restored = 0;
    for (int i = 0; i < inputs; ++i) {
      const std::u16string name = assistant.InputName(page, i);
      auto it = std::find_if(formValues_.begin(), formValues_.end(),
                             [&](const NameValue& v) { return v.first == name; });
      if (it == formValues_.end()) continue;
      if (assistant.InputIsCheckBox(page, i))
        assistant.SetInputChecked(page, i, it->second == u"+");
      else
        assistant.SetInputText(page, i, it->second);
      ++restored;
    }
    if (restored > 0 && restored == inputs && assistant.ContinueEnabled(page))
      assistant.FocusContinue(page);
  }
}

void SettingsCore::Reparse() {
  if (ownsRecord_ && ownList_ && registry_)
    ReparseModuleRecord(env_.Platform(), *registry_, *ownList_);
}

}  // namespace ostrel
