// Every thread the process creates starts through the reporter: its import
// of CreateThread is patched in every module (the C run-time's
// _beginthreadex and std::thread end there too), so that each thread is
// entered in the registry with its creator and gets stack room for the
// handler of a stack overflow.
#include "crash/core/handling/runtime.h"
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <vector>

namespace ostrel::rt {
namespace {

using CreateThreadFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                       LPVOID, DWORD, LPDWORD);

struct Hooks {
  CreateThreadFn real = nullptr;
  std::vector<void**> patched;
};
Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

struct StartBlock {
  LPTHREAD_START_ROUTINE routine;
  LPVOID parameter;
};

bool Write(void** slot, void* value) {
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
      if (*slot == target && Write(slot, hook)) patched.push_back(slot);
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

// Tolerates a routine that takes its parameter off the stack, or leaves
// up to 12 bytes too many there: the stack pointer is restored after it.
DWORD CallTolerant(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
  DWORD result;
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl %2\n\t"
      "call *%1\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result)
      : "r"(routine), "r"(parameter)
      : "esi", "ecx", "edx", "memory", "cc");
  return result;
}

DWORD WINAPI ThreadStart(void* param) {
  StartBlock block = *static_cast<StartBlock*>(param);
  HeapFree(GetProcessHeap(), 0, param);
  ULONG guarantee = 16 * 1024;
  SetThreadStackGuarantee(&guarantee);
  const DWORD result = CallTolerant(block.routine, block.parameter);
  RemoveThreadEntry(GetCurrentThreadId());
  return result;
}

HANDLE WINAPI HookedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                 LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                 LPDWORD id) {
  Hooks& hooks = TheHooks();
  const auto creator = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
  auto* block = static_cast<StartBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(StartBlock)));
  if (!block) return hooks.real(security, stack, routine, parameter, flags, id);
  *block = {routine, parameter};
  DWORD ownId = 0;
  HANDLE thread = hooks.real(security, stack, ThreadStart, block, flags | CREATE_SUSPENDED, &ownId);
  if (!thread) {
    HeapFree(GetProcessHeap(), 0, block);
    return nullptr;
  }
  UpdateThreadEntry(ownId, thread, nullptr, GetCurrentThreadId(), creator, nullptr);
  if (!(flags & CREATE_SUSPENDED)) ResumeThread(thread);
  if (id) *id = ownId;
  return thread;
}

}  // namespace

void InstallThreadHooks() {
  Hooks& hooks = TheHooks();
  // Only the executable's copy of the reporter hooks thread creation.
  if (hooks.real || Runtime::Get().Module() != GetModuleHandleW(nullptr)) return;
  void* target =
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread"));
  if (!target) return;
  hooks.real = reinterpret_cast<CreateThreadFn>(target);
  for (HMODULE module : LoadedModules()) {
    PatchModule(module, target, reinterpret_cast<void*>(&HookedCreateThread), hooks.patched);
  }
}

void RemoveThreadHooks() {
  Hooks& hooks = TheHooks();
  for (void** slot : hooks.patched) {
    if (*slot == reinterpret_cast<void*>(&HookedCreateThread)) {
      Write(slot, reinterpret_cast<void*>(hooks.real));
    }
  }
  hooks.patched.clear();
  hooks.real = nullptr;
}

}  // namespace ostrel::rt
