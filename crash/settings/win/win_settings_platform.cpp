#include "crash/settings/win/win_settings_platform.h"

#include <windows.h>

#include <cstdio>
#include <new>

#include "crash/settings/win/kernel_object_security.h"

namespace ostrel {

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(RegistryBlock::lock));

CRITICAL_SECTION& LockOf(RegistryBlock& block) {
  return *reinterpret_cast<CRITICAL_SECTION*>(block.lock);
}

std::wstring WithProcessId(const wchar_t* prefix, unsigned long pid) {
  wchar_t buf[64];
  std::swprintf(buf, 64, L"%ls$%lX", prefix, pid);
  return buf;
}

// Serialises creation and reference counting of the registry block.
class RegistryMutex {
 public:
  RegistryMutex() {
    KernelObjectSecurity security;
    handle_ = CreateMutexW(security.Attributes(), FALSE,
                           SettingsMutexName(GetCurrentProcessId()).c_str());
    if (handle_) WaitForSingleObject(handle_, INFINITE);
  }
  ~RegistryMutex() {
    if (handle_) {
      ReleaseMutex(handle_);
      CloseHandle(handle_);
    }
  }

 private:
  HANDLE handle_;
};

bool Accessible(const MEMORY_BASIC_INFORMATION& mbi) {
  return mbi.State == MEM_COMMIT && !(mbi.Protect & (PAGE_NOACCESS | PAGE_GUARD));
}

bool IsModule(void* base) {
  wchar_t name[MAX_PATH];
  return base && GetModuleFileNameW(static_cast<HMODULE>(base), name, MAX_PATH) != 0;
}

}  // namespace

std::wstring SettingsBufferName(unsigned long processId) {
  return WithProcessId(L"OstrelSettingsBuf2", processId);
}

std::wstring SettingsMutexName(unsigned long processId) {
  return WithProcessId(L"OstrelSettingsMtx", processId);
}

bool WinSettingsPlatform::LoadSettingsResource(ModuleHandle module,
                                               std::vector<std::uint8_t>& out) {
  auto* m = reinterpret_cast<HMODULE>(module);
  HRSRC found = FindResourceW(m, L"TOSTREL", MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return false;
  HGLOBAL loaded = LoadResource(m, found);
  const DWORD size = SizeofResource(m, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out.assign(bytes, bytes + size);
  return true;
}

void WinSettingsPlatform::ShowMessage(const std::u16string& text) {
  if (sink_) {
    sink_(text);
    return;
  }
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Ostrel",
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

RegistryBlock* WinSettingsPlatform::AcquireRegistry() {
  RegistryMutex mutex;
  const std::wstring name = SettingsBufferName(GetCurrentProcessId());
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
  const bool created = mapping == nullptr;
  if (created) {
    KernelObjectSecurity security;
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                 sizeof(RegistryBlock*), name.c_str());
    if (!mapping) return nullptr;
  }
  auto* slot = static_cast<RegistryBlock**>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RegistryBlock*)));
  if (!slot) {
    CloseHandle(mapping);
    return nullptr;
  }
  RegistryBlock* block = *slot;
  if (!block) {
    block = static_cast<RegistryBlock*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(RegistryBlock)));
    if (!block) {
      UnmapViewOfFile(slot);
      CloseHandle(mapping);
      return nullptr;
    }
    InitializeCriticalSection(&LockOf(*block));
    // The block keeps the creating handle: the name lives as long as the block.
    block->mapping = mapping;
    *slot = block;
    mapping = nullptr;
  }
  ++block->refCount;
  UnmapViewOfFile(slot);
  if (mapping) CloseHandle(mapping);
  return block;
}

void WinSettingsPlatform::ReleaseRegistry(RegistryBlock* block) {
  if (!block) return;
  RegistryMutex mutex;
  if (--block->refCount > 0) return;
  while (block->head) {
    ModuleSettingsRecord* r = block->head;
    block->head = r->next;
    FreeModuleRecord(r);
  }
  DeleteCriticalSection(&LockOf(*block));
  if (auto* slot = static_cast<RegistryBlock**>(
          MapViewOfFile(block->mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RegistryBlock*)))) {
    *slot = nullptr;  // a handle still open elsewhere must not find a freed block
    UnmapViewOfFile(slot);
  }
  CloseHandle(block->mapping);
  HeapFree(GetProcessHeap(), 0, block);
}

void WinSettingsPlatform::LockRegistry(RegistryBlock& block) {
  EnterCriticalSection(&LockOf(block));
}

void WinSettingsPlatform::UnlockRegistry(RegistryBlock& block) {
  LeaveCriticalSection(&LockOf(block));
}

ModuleHandle WinSettingsPlatform::ExecutableModule() {
  return reinterpret_cast<ModuleHandle>(GetModuleHandleW(nullptr));
}

ModuleHandle WinSettingsPlatform::ReporterModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&SettingsBufferName), &m);
  return reinterpret_cast<ModuleHandle>(m);
}

ModuleHandle WinSettingsPlatform::ModuleContaining(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION mbi{};
  if (!VirtualQuery(reinterpret_cast<void*>(address), &mbi, sizeof mbi) || !Accessible(mbi))
    return 0;
  return IsModule(mbi.AllocationBase) ? reinterpret_cast<ModuleHandle>(mbi.AllocationBase) : 0;
}

std::vector<ModuleHandle> WinSettingsPlatform::ModulesInAddressOrder() {
  std::vector<ModuleHandle> out;
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  auto* p = static_cast<char*>(si.lpMinimumApplicationAddress);
  void* last = nullptr;
  MEMORY_BASIC_INFORMATION mbi{};
  while (p < si.lpMaximumApplicationAddress && VirtualQuery(p, &mbi, sizeof mbi)) {
    if (Accessible(mbi) && mbi.AllocationBase != last && mbi.AllocationBase == mbi.BaseAddress &&
        IsModule(mbi.AllocationBase)) {
      out.push_back(reinterpret_cast<ModuleHandle>(mbi.AllocationBase));
      last = mbi.AllocationBase;
    }
    p = static_cast<char*>(mbi.BaseAddress) + mbi.RegionSize;
  }
  return out;
}

std::uintptr_t WinSettingsPlatform::CallerReturnAddress(int level) {
  void* frames[1] = {};
  // One more frame: this function's own.
  if (RtlCaptureStackBackTrace(static_cast<DWORD>(level + 1), 1, frames, nullptr) != 1) return 0;
  return reinterpret_cast<std::uintptr_t>(frames[0]);
}

bool WinSettingsPlatform::ReadVersionVar(ModuleHandle module, std::int32_t offset,
                                         std::string& out) {
  // ReadProcessMemory fails cleanly on a bad address where a plain read would fault.
  const HANDLE self = GetCurrentProcess();
  const char* text = nullptr;
  SIZE_T got = 0;
  const auto* var = reinterpret_cast<const void*>(module + static_cast<std::uintptr_t>(offset));
  if (!ReadProcessMemory(self, var, &text, sizeof text, &got) || got != sizeof text || !text)
    return false;
  out.clear();
  for (int i = 0; i < 4096; ++i) {
    char c;
    if (!ReadProcessMemory(self, text + i, &c, 1, &got) || got != 1) return false;
    if (c == '\0') return true;
    out.push_back(c);
  }
  return true;
}

}  // namespace ostrel
