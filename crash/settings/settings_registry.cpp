#include "crash/settings/settings_registry.h"

#include "crash/settings/packed_string.h"
#include "crash/settings/password_cipher.h"

namespace ostrel {

namespace {

std::u16string TextOf(const ModuleSettingsRecord& record, const char* name,
                      const ICodePage& codePage) {
  const SettingsProperty* p = FindProperty(record, name);
  return p && p->kind == ValueKind::String ? UnpackText(p->text, codePage) : std::u16string();
}

void DecipherOne(ModuleSettingsRecord& record, const char* password, const char* account,
                 const char* server, const ICodePage& codePage) {
  SettingsProperty* p = FindProperty(record, password);
  if (!p || p->kind != ValueKind::String || !p->text) return;
  const auto plain =
      DecipherPassword(UnpackText(p->text, codePage), TextOf(record, account, codePage),
                       TextOf(record, server, codePage));
  // A value that is not in enciphered form is kept as it is.
  if (plain) StorePacked(*p, PackText(*plain, codePage));
}

void Unlink(RegistryBlock& registry, ModuleSettingsRecord* record) {
  for (ModuleSettingsRecord** link = &registry.head; *link; link = &(*link)->next) {
    if (*link == record) {
      *link = record->next;
      record->next = nullptr;
      return;
    }
  }
}

// Parses outside the registry lock's message box: the caller shows `error`.
bool LoadInto(ISettingsPlatform& platform, ModuleSettingsRecord& record, ModuleHandle module,
              std::u16string& error) {
  std::vector<std::uint8_t> data;
  if (!platform.LoadSettingsResource(module, data)) return false;
  const ParsedStream parsed = ParsePropertyStream(data);
  if (parsed.stop == StreamStop::BadHeader) return false;
  FillModuleRecord(record, parsed, platform.CodePage());
  error = StreamErrorText(parsed);
  return true;
}

}  // namespace

void FillModuleRecord(ModuleSettingsRecord& record, const ParsedStream& parsed,
                      const ICodePage& codePage) {
  ReserveProperties(record, kInitialPropertyCapacity);
  for (const StreamProperty& sp : parsed.properties) {
    SettingsProperty& p = AppendProperty(record, sp.name, sp.kind);
    p.boolean = sp.boolean;
    p.integer = sp.integer;
    if (sp.kind == ValueKind::String)
      p.text = sp.wide ? PackText(sp.text, codePage) : PackNarrow(sp.narrow);
  }
  DecipherOne(record, "SmtpPassword", "SmtpAccount", "SmtpServer", codePage);
  DecipherOne(record, "HttpPassword", "HttpAccount", "HttpServer", codePage);
  DecipherOne(record, "BugTrPassword", "BugTrAccount", "HttpServer", codePage);
}

ModuleSettingsRecord* AcquireModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry,
                                          ModuleHandle module) {
  std::u16string error;
  ModuleSettingsRecord* result = nullptr;
  {
    RegistryLockGuard lock(platform, &registry);
    ModuleSettingsRecord** link = &registry.head;
    for (; *link; link = &(*link)->next) {
      if ((*link)->module == module) {
        ++(*link)->refCount;
        return *link;
      }
    }
    ModuleSettingsRecord* record = NewModuleRecord(module);
    if (!LoadInto(platform, *record, module, error)) {
      FreeModuleRecord(record);
      return nullptr;
    }
    record->refCount = 1;
    *link = record;
    result = record;
  }
  if (!error.empty()) platform.ShowMessage(error);
  return result;
}

void ReleaseModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry,
                         ModuleSettingsRecord* record) {
  if (!record) return;
  RegistryLockGuard lock(platform, &registry);
  if (--record->refCount > 0) return;
  Unlink(registry, record);
  FreeModuleRecord(record);
}

void ReparseModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry,
                         ModuleSettingsRecord& record) {
  std::u16string error;
  {
    RegistryLockGuard lock(platform, &registry);
    ClearProperties(record);
    // A resource gone or broken since leaves the module without properties.
    LoadInto(platform, record, record.module, error);
  }
  if (!error.empty()) platform.ShowMessage(error);
}

void UnlistModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry, ModuleHandle module) {
  RegistryLockGuard lock(platform, &registry);
  for (ModuleSettingsRecord* r = registry.head; r; r = r->next) {
    if (r->module == module) {
      Unlink(registry, r);
      return;
    }
  }
}

}  // namespace ostrel
