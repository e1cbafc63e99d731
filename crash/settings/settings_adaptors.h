#pragma once
// Implementations of the settings interfaces over a SettingsCore, so that
// every object that extends IReporterSettings (module settings, exception
// reports) answers each slot the same way.

#include "crash/settings/settings_core.h"

namespace ostrel {

// Each slot of the interfaces, answered by Core(); the slot lists include
// them into the classes below.
#define OSTREL_OWNER_MODULE() \
  ModuleHandle OSTREL_CALL OwnerModule() override { return Core().Module(); }
#define OSTREL_BOOL_GET(N) \
  bool OSTREL_CALL N() override { return Core().GetBool(#N); }
#define OSTREL_BOOL_SET(N) \
  void OSTREL_CALL Set##N(bool value) override { Core().SetBool(#N, value); }
#define OSTREL_INT_GET(N) \
  std::int32_t OSTREL_CALL N() override { return Core().GetInt(#N); }
#define OSTREL_INT_SET(N) \
  void OSTREL_CALL Set##N(std::int32_t value) override { Core().SetInt(#N, value); }
#define OSTREL_TEXT_GET(N) \
  void OSTREL_CALL N(std::u16string& out) override { out = Core().GetText(#N); }
#define OSTREL_TEXT_SET(N) \
  void OSTREL_CALL Set##N(const std::u16string& value) override { Core().SetText(#N, value); }
#define OSTREL_ANSI_GET(N) \
  void OSTREL_CALL N(std::string& out) override { out = Core().GetAnsi(#N); }
#define OSTREL_ANSI_SET(N) \
  void OSTREL_CALL Set##N(const std::string& value) override { Core().SetAnsi(#N, value); }
#define OSTREL_ADDITIONAL_FIELDS() \
  SettingsFieldList* OSTREL_CALL AdditionalFields() override { return Core().FieldList(); }
#define OSTREL_ADDITIONAL_ATTACHMENTS()                                  \
  SettingsAttachmentList* OSTREL_CALL AdditionalAttachments() override { \
    return Core().AttachmentList();                                      \
  }
#define OSTREL_PLUGINS()                                                            \
  bool OSTREL_CALL PluginEnabled(const std::u16string& name) override {             \
    return Core().PluginListed(name);                                               \
  }                                                                                 \
  void OSTREL_CALL SetPluginEnabled(const std::u16string& name, bool on) override { \
    Core().SetPluginListed(name, on);                                               \
  }
#define OSTREL_VERSION_TEXT() \
  void OSTREL_CALL VersionText(std::u16string& out) override { out = Core().ReadVersionText(); }
#define OSTREL_FIND_ASSISTANT()                                                                   \
  bool OSTREL_CALL FindAssistant(const std::u16string& name, AssistantDefinition& out) override { \
    return Core().AssistantDefinitionFor(name, out);                                              \
  }
#define OSTREL_FLAG(N) \
  bool OSTREL_CALL N() override { return Core().Flag##N(); }
// Stored as an integer; a value outside ShowMode is kept as it is.
#define OSTREL_SHOW_GET(N)                                   \
  ostrel::ShowMode OSTREL_CALL N() override {                \
    return static_cast<ostrel::ShowMode>(Core().GetInt(#N)); \
  }
#define OSTREL_SHOW_SET(N)                                   \
  void OSTREL_CALL Set##N(ostrel::ShowMode value) override { \
    Core().SetInt(#N, static_cast<std::int32_t>(value));     \
  }
#define OSTREL_REPARSE() \
  void OSTREL_CALL ReparseSettings() override { Core().Reparse(); }

template <class Base>
class ReporterSettingsAdaptor : public Base {
 public:
  virtual SettingsCore& Core() = 0;

#include "crash/settings/reporter_settings_slots.inc"
};

template <class Base>
class ModuleSettingsAdaptor : public ReporterSettingsAdaptor<Base> {
 public:
  using ReporterSettingsAdaptor<Base>::Core;

#include "crash/settings/module_settings_slots.inc"
};

#include "crash/settings/undef_slot_macros.inc"

// ISettingsLookup over the same core.
class SettingsLookupAdaptor : public ISettingsLookup {
 public:
  virtual SettingsCore& Core() = 0;

  bool OSTREL_CALL LookupBool(const char* name) override { return Core().GetBool(name); }
  std::int32_t OSTREL_CALL LookupInt(const char* name) override { return Core().GetInt(name); }
  void OSTREL_CALL LookupText(const char* name, std::u16string& out) override {
    out = Core().GetText(name);
  }
  std::uint32_t OSTREL_CALL LookupDword(const char* name) override {
    return static_cast<std::uint32_t>(Core().GetInt(name));
  }
  void OSTREL_CALL CacheAssistantValues(IAssistantForms& assistant) override {
    Core().CacheFormValues(assistant);
  }
  void OSTREL_CALL RestoreAssistantValues(IAssistantForms& assistant) override {
    Core().RestoreFormValues(assistant);
  }
  // The SettingsCore behind the object.
  void* OSTREL_CALL ImplementingObject() override { return &Core(); }
};

}  // namespace ostrel
