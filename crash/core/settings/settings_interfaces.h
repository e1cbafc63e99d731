#pragma once
// The reporter's settings interfaces. Slot order and identifiers are fixed:
// handlers in other modules call through them.

#include <cstdint>
#include <string>

#include "crash/core/com/unknown.h"
#include "crash/core/settings/settings_lists.h"
#include "crash/core/settings/value_kind.h"

namespace ostrel {

// {27DBC590-890F-463E-8D05-32E33584119F}
constexpr Guid kIidReporterSettings = {
    0x27DBC590, 0x890F, 0x463E, {0x8D, 0x05, 0x32, 0xE3, 0x35, 0x84, 0x11, 0x9F}};
// {E2196B25-D73A-4F69-B79B-D65539763B31}
constexpr Guid kIidReporterModuleSettings = {
    0xE2196B25, 0xD73A, 0x4F69, {0xB7, 0x9B, 0xD6, 0x55, 0x39, 0x76, 0x3B, 0x31}};
// {8C612485-CD17-4C66-8C62-D6D94D54EA50}
constexpr Guid kIidSettingsLookup = {
    0x8C612485, 0xCD17, 0x4C66, {0x8C, 0x62, 0xD6, 0xD9, 0x4D, 0x54, 0xEA, 0x50}};

// What the assistant engine exposes of a shown assistant, so that its input
// values can be remembered and restored.
class IAssistantForms {
 public:
  virtual int PageCount() = 0;
  virtual bool PageEndedWithContinue(int page) = 0;
  virtual int InputCount(int page) = 0;
  virtual std::u16string InputName(int page, int input) = 0;
  virtual bool InputIsCheckBox(int page, int input) = 0;
  virtual std::u16string InputText(int page, int input) = 0;
  virtual void SetInputText(int page, int input, const std::u16string& text) = 0;
  virtual bool InputChecked(int page, int input) = 0;
  virtual void SetInputChecked(int page, int input, bool checked) = 0;
  virtual bool ContinueEnabled(int page) = 0;
  virtual void FocusContinue(int page) = 0;

 protected:
  ~IAssistantForms() = default;
};

#define OSTREL_OWNER_MODULE() virtual ModuleHandle OSTREL_CALL OwnerModule() = 0;
#define OSTREL_BOOL_GET(N) virtual bool OSTREL_CALL N() = 0;
#define OSTREL_BOOL_SET(N) virtual void OSTREL_CALL Set##N(bool value) = 0;
#define OSTREL_INT_GET(N) virtual std::int32_t OSTREL_CALL N() = 0;
#define OSTREL_INT_SET(N) virtual void OSTREL_CALL Set##N(std::int32_t value) = 0;
#define OSTREL_TEXT_GET(N) virtual void OSTREL_CALL N(std::u16string& out) = 0;
#define OSTREL_TEXT_SET(N) virtual void OSTREL_CALL Set##N(const std::u16string& value) = 0;
#define OSTREL_ANSI_GET(N) virtual void OSTREL_CALL N(std::string& out) = 0;
#define OSTREL_ANSI_SET(N) virtual void OSTREL_CALL Set##N(const std::string& value) = 0;
#define OSTREL_ADDITIONAL_FIELDS() virtual SettingsFieldList* OSTREL_CALL AdditionalFields() = 0;
#define OSTREL_ADDITIONAL_ATTACHMENTS() \
  virtual SettingsAttachmentList* OSTREL_CALL AdditionalAttachments() = 0;
#define OSTREL_PLUGINS()                                                  \
  virtual bool OSTREL_CALL PluginEnabled(const std::u16string& name) = 0; \
  virtual void OSTREL_CALL SetPluginEnabled(const std::u16string& name, bool on) = 0;
#define OSTREL_VERSION_TEXT() virtual void OSTREL_CALL VersionText(std::u16string& out) = 0;
// The page engine builds the assistant from the definition, then calls
// RestoreAssistantValues on it.
#define OSTREL_FIND_ASSISTANT() \
  virtual bool OSTREL_CALL FindAssistant(const std::u16string& name, AssistantDefinition& out) = 0;
#define OSTREL_FLAG(N) virtual bool OSTREL_CALL N() = 0;
#define OSTREL_REPARSE() virtual void OSTREL_CALL ReparseSettings() = 0;

class IReporterSettings : public IUnknownBase {
 public:
#include "crash/core/settings/reporter_settings_slots.inc"

 protected:
  ~IReporterSettings() = default;
};

class IReporterModuleSettings : public IReporterSettings {
 public:
#include "crash/core/settings/module_settings_slots.inc"

 protected:
  ~IReporterModuleSettings() = default;
};

#include "crash/core/settings/undef_slot_macros.inc"

class ISettingsLookup : public IUnknownBase {
 public:
  virtual bool OSTREL_CALL LookupBool(const char* name) = 0;
  virtual std::int32_t OSTREL_CALL LookupInt(const char* name) = 0;
  virtual void OSTREL_CALL LookupText(const char* name, std::u16string& out) = 0;
  virtual std::uint32_t OSTREL_CALL LookupDword(const char* name) = 0;
  virtual void OSTREL_CALL CacheAssistantValues(IAssistantForms& assistant) = 0;
  virtual void OSTREL_CALL RestoreAssistantValues(IAssistantForms& assistant) = 0;
  virtual void* OSTREL_CALL ImplementingObject() = 0;

 protected:
  ~ISettingsLookup() = default;
};

}  // namespace ostrel
