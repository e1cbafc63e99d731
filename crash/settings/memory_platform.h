#pragma once
// Settings platform held in memory: modules and their resources are given
// by the caller. Used off Windows (host tools, tests, fuzzing).

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "crash/settings/settings_platform.h"

namespace ostrel {

class MemorySettingsPlatform : public ISettingsPlatform {
 public:
  MemorySettingsPlatform();
  ~MemorySettingsPlatform() override;

  struct Module {
    ModuleHandle base = 0;
    std::size_t size = 0x1000;
    bool hasResource = false;
    std::vector<std::uint8_t> resource;
    std::map<std::int32_t, std::string> versionVars;  // offset -> text
  };
  void AddModule(Module module);
  void SetResource(ModuleHandle base, std::vector<std::uint8_t> resource);
  void SetExecutable(ModuleHandle m) { executable_ = m; }
  void SetReporter(ModuleHandle m) { reporter_ = m; }
  void SetCallerAddress(std::uintptr_t a) { caller_ = a; }
  void FailRegistry(bool fail) { failRegistry_ = fail; }

  const std::vector<std::u16string>& Messages() const { return messages_; }
  RegistryBlock* Block() const { return block_; }

  const ICodePage& CodePage() const override { return codePage_; }
  bool LoadSettingsResource(ModuleHandle module, std::vector<std::uint8_t>& out) override;
  void ShowMessage(const std::u16string& text) override;
  RegistryBlock* AcquireRegistry() override;
  void ReleaseRegistry(RegistryBlock* block) override;
  void LockRegistry(RegistryBlock& block) override;
  void UnlockRegistry(RegistryBlock& block) override;
  ModuleHandle ExecutableModule() override { return executable_; }
  ModuleHandle ReporterModule() override { return reporter_; }
  ModuleHandle DevelopmentPackageModule() override { return 0; }
  ModuleHandle ModuleContaining(std::uintptr_t address) override;
  std::vector<ModuleHandle> ModulesInAddressOrder() override;
  std::uintptr_t CallerReturnAddress(int) override { return caller_; }
  bool ReadVersionVar(ModuleHandle module, std::int32_t offset, std::string& out) override;

 private:
  Latin1CodePage codePage_;
  std::mutex lock_;  // serialises the registry's creation, like the named mutex
  std::map<ModuleHandle, Module> modules_;
  std::vector<std::u16string> messages_;
  RegistryBlock* block_ = nullptr;
  ModuleHandle executable_ = 0x400000;
  ModuleHandle reporter_ = 0x400000;
  std::uintptr_t caller_ = 0;
  bool failRegistry_ = false;
};

}  // namespace ostrel
