#include "crash/base/win/import_patch.h"
// After windows.h, which it needs.
#include <tlhelp32.h>

namespace ostrel {
namespace {

bool WriteSlot(void** slot, void* value) {
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
  FlushInstructionCache(GetCurrentProcess(), slot, sizeof *slot);
  return true;
}

// Every import-address slot of `module` that holds `target`.
void PatchModule(HMODULE module, void* target, void* hook, std::vector<void**>& patched) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE ||
      nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    return;
  }
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress || !dir.Size) return;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       d->Name; ++d) {
    // An address table outside the image makes the rest of the table invalid.
    if (d->FirstThunk >= nt->OptionalHeader.SizeOfImage || d->FirstThunk == 0) break;
    for (auto** slot = reinterpret_cast<void**>(base + d->FirstThunk); *slot; ++slot) {
      if (*slot == target && WriteSlot(slot, hook)) patched.push_back(slot);
    }
  }
}

std::vector<HMODULE> LoadedModules() {
  std::vector<HMODULE> modules;
  HANDLE snap =
      CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, GetCurrentProcessId());
  if (snap == INVALID_HANDLE_VALUE) return modules;
  MODULEENTRY32W entry{sizeof entry};
  for (BOOL ok = Module32FirstW(snap, &entry); ok; ok = Module32NextW(snap, &entry)) {
    modules.push_back(entry.hModule);
  }
  CloseHandle(snap);
  return modules;
}

}  // namespace

void PatchImports(void* target, void* hook, std::vector<void**>& patched) {
  for (HMODULE module : LoadedModules()) PatchModule(module, target, hook, patched);
}

void RestoreImports(std::vector<void**>& patched, void* hook, void* target) {
  for (void** slot : patched) {
    if (*slot == hook) WriteSlot(slot, target);
  }
  patched.clear();
}

}  // namespace ostrel
