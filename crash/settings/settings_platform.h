#pragma once
// What the settings need from the system: resources, the process-wide
// registry block, the layout of loaded modules, and a message box.

#include <cstdint>
#include <string>
#include <vector>

#include "crash/settings/code_page.h"
#include "crash/settings/property_list.h"
#include "crash/settings/value_kind.h"

namespace ostrel {

// One per process, found by every copy of the reporter through the named
// shared memory. Plain C layout; the lock is the system's critical section.
struct RegistryBlock {
  std::int32_t refCount;
  void* mapping;
  alignas(8) unsigned char lock[48];
  ModuleSettingsRecord* head;
};

class ISettingsPlatform {
 public:
  virtual ~ISettingsPlatform() = default;

  virtual const ICodePage& CodePage() const = 0;
  // The "TOSTREL" RCDATA resource of the module; false when it has none.
  virtual bool LoadSettingsResource(ModuleHandle module, std::vector<std::uint8_t>& out) = 0;
  // Message box captioned "Ostrel".
  virtual void ShowMessage(const std::u16string& text) = 0;

  // Opens or creates the registry and takes a reference, serialised by the
  // named mutex; null when the shared memory cannot be had.
  virtual RegistryBlock* AcquireRegistry() = 0;
  // The last release frees the block; remaining records go with it.
  virtual void ReleaseRegistry(RegistryBlock* block) = 0;
  virtual void LockRegistry(RegistryBlock& block) = 0;
  virtual void UnlockRegistry(RegistryBlock& block) = 0;

  virtual ModuleHandle ExecutableModule() = 0;
  virtual ModuleHandle ReporterModule() = 0;
  // The reporter's development-environment package; 0 when not loaded.
  virtual ModuleHandle DevelopmentPackageModule() = 0;
  // The module whose image holds the address, when its region is committed
  // and accessible; 0 otherwise.
  virtual ModuleHandle ModuleContaining(std::uintptr_t address) = 0;
  // Loaded modules as a walk of the address space from 0 meets them.
  virtual std::vector<ModuleHandle> ModulesInAddressOrder() = 0;
  // Return address `level` frames up the caller's frame chain; 0 when none.
  virtual std::uintptr_t CallerReturnAddress(int level) = 0;
  // The 8-bit text a VersionVar offset points to; false on a bad address.
  virtual bool ReadVersionVar(ModuleHandle module, std::int32_t offset, std::string& out) = 0;
};

class RegistryLockGuard {
 public:
  RegistryLockGuard(ISettingsPlatform& platform, RegistryBlock* block)
      : platform_(platform), block_(block) {
    if (block_) platform_.LockRegistry(*block_);
  }
  ~RegistryLockGuard() {
    if (block_) platform_.UnlockRegistry(*block_);
  }
  RegistryLockGuard(const RegistryLockGuard&) = delete;
  RegistryLockGuard& operator=(const RegistryLockGuard&) = delete;

 private:
  ISettingsPlatform& platform_;
  RegistryBlock* block_;
};

}  // namespace ostrel
