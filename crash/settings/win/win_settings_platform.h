#pragma once
// The settings platform of a Windows process: resources of loaded modules,
// the registry block behind the named shared memory and mutex of the
// process, and the module layout from the address space.

#include <functional>
#include <string>

#include "crash/settings/settings_platform.h"
#include "crash/settings/win/win_code_page.h"

namespace ostrel {

// "OstrelSettingsBuf2$1A2B", "OstrelSettingsMtx$1A2B" for process 0x1A2B.
std::wstring SettingsBufferName(unsigned long processId);
std::wstring SettingsMutexName(unsigned long processId);

class WinSettingsPlatform final : public ISettingsPlatform {
 public:
  const ICodePage& CodePage() const override { return codePage_; }
  bool LoadSettingsResource(ModuleHandle module, std::vector<std::uint8_t>& out) override;
  void ShowMessage(const std::u16string& text) override;
  RegistryBlock* AcquireRegistry() override;
  void ReleaseRegistry(RegistryBlock* block) override;
  void LockRegistry(RegistryBlock& block) override;
  void UnlockRegistry(RegistryBlock& block) override;
  ModuleHandle ExecutableModule() override;
  ModuleHandle ReporterModule() override;
  ModuleHandle DevelopmentPackageModule() override { return 0; }
  ModuleHandle ModuleContaining(std::uintptr_t address) override;
  std::vector<ModuleHandle> ModulesInAddressOrder() override;
  std::uintptr_t CallerReturnAddress(int level) override;
  bool ReadVersionVar(ModuleHandle module, std::int32_t offset, std::string& out) override;

  // Tests take the messages instead of a message box.
  void SetMessageSink(std::function<void(const std::u16string&)> sink) { sink_ = std::move(sink); }

 private:
  WinCodePage codePage_;
  std::function<void(const std::u16string&)> sink_;
};

}  // namespace ostrel
