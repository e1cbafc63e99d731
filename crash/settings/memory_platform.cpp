#include "crash/settings/memory_platform.h"

#include <new>

#include "crash/settings/shared_heap.h"

namespace ostrel {

namespace {

using Lock = std::recursive_mutex;
static_assert(sizeof(Lock) <= sizeof(RegistryBlock::lock));

Lock& LockOf(RegistryBlock& block) { return *std::launder(reinterpret_cast<Lock*>(block.lock)); }

}  // namespace

MemorySettingsPlatform::MemorySettingsPlatform() = default;

MemorySettingsPlatform::~MemorySettingsPlatform() {
  // Objects still alive keep the block; tests release theirs first.
  if (block_) {
    while (block_->head) {
      ModuleSettingsRecord* r = block_->head;
      block_->head = r->next;
      FreeModuleRecord(r);
    }
    LockOf(*block_).~Lock();
    SharedFree(block_);
  }
}

void MemorySettingsPlatform::AddModule(Module module) { modules_[module.base] = std::move(module); }

void MemorySettingsPlatform::SetResource(ModuleHandle base, std::vector<std::uint8_t> resource) {
  Module& m = modules_[base];
  m.base = base;
  m.hasResource = true;
  m.resource = std::move(resource);
}

bool MemorySettingsPlatform::LoadSettingsResource(ModuleHandle module,
                                                  std::vector<std::uint8_t>& out) {
  auto it = modules_.find(module);
  if (it == modules_.end() || !it->second.hasResource) return false;
  out = it->second.resource;
  return true;
}

void MemorySettingsPlatform::ShowMessage(const std::u16string& text) {
  std::lock_guard g(lock_);
  messages_.push_back(text);
}

RegistryBlock* MemorySettingsPlatform::AcquireRegistry() {
  std::lock_guard g(lock_);
  if (failRegistry_) return nullptr;
  if (!block_) {
    block_ = static_cast<RegistryBlock*>(SharedAlloc(sizeof(RegistryBlock)));
    new (block_->lock) Lock();
  }
  ++block_->refCount;
  return block_;
}

void MemorySettingsPlatform::ReleaseRegistry(RegistryBlock* block) {
  std::lock_guard g(lock_);
  if (!block || --block->refCount > 0) return;
  while (block->head) {
    ModuleSettingsRecord* r = block->head;
    block->head = r->next;
    FreeModuleRecord(r);
  }
  LockOf(*block).~Lock();
  SharedFree(block);
  if (block == block_) block_ = nullptr;
}

void MemorySettingsPlatform::LockRegistry(RegistryBlock& block) { LockOf(block).lock(); }

void MemorySettingsPlatform::UnlockRegistry(RegistryBlock& block) { LockOf(block).unlock(); }

ModuleHandle MemorySettingsPlatform::ModuleContaining(std::uintptr_t address) {
  for (const auto& [base, m] : modules_)
    if (address >= base && address - base < m.size) return base;
  return 0;
}

std::vector<ModuleHandle> MemorySettingsPlatform::ModulesInAddressOrder() {
  std::vector<ModuleHandle> out;
  for (const auto& entry : modules_) out.push_back(entry.first);
  return out;
}

bool MemorySettingsPlatform::ReadVersionVar(ModuleHandle module, std::int32_t offset,
                                            std::string& out) {
  auto it = modules_.find(module);
  if (it == modules_.end()) return false;
  auto v = it->second.versionVars.find(offset);
  if (v == it->second.versionVars.end()) return false;
  out = v->second;
  return true;
}

}  // namespace ostrel
