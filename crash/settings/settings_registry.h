#pragma once
// The process-wide list of parsed module settings.

#include <span>
#include <vector>

#include "crash/settings/property_stream.h"
#include "crash/settings/settings_platform.h"

namespace ostrel {

// Fills an empty record from a parsed stream and deciphers its passwords.
void FillModuleRecord(ModuleSettingsRecord& record, const ParsedStream& parsed,
                      const ICodePage& codePage);

// The module's record with one more reference: found in the list, or made
// and parsed on first use. Null when the module has no settings resource (or
// one that is not a settings stream).
ModuleSettingsRecord* AcquireModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry,
                                          ModuleHandle module);
// The last release unlinks the record and frees it.
void ReleaseModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry,
                         ModuleSettingsRecord* record);
// Discards the cached properties and parses the resource again.
void ReparseModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry,
                         ModuleSettingsRecord& record);
// Takes the module's record out of the list (the reporter's shutdown);
// holders keep it until they release it.
void UnlistModuleRecord(ISettingsPlatform& platform, RegistryBlock& registry, ModuleHandle module);

}  // namespace ostrel
