#include "crash/handling/interception/creation_call_patch.h"

#include <cstring>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/win/process_memory.h"

namespace ostrel::rt {
namespace {

std::uint32_t ReadPointer(std::uint32_t at) {
  const TProcessMemoryReader reader;
  std::uint32_t value = 0;
  return reader.Read(at, &value, 4) ? value : 0;
}

// Import stubs and forwarders jump on, some behind a hot-patch prologue
// (mov edi,edi; push ebp; mov ebp,esp; pop ebp): the code the address ends
// up in.
std::uint32_t FollowJumps(std::uint32_t address) {
  const TProcessMemoryReader reader;
  for (int hops = 0; hops < 4 && address; ++hops) {
    std::uint32_t at = address;
    TInstruction in = DecodeInstruction(reader, at, nullptr, nullptr);
    std::uint8_t prologue[6] = {};
    static constexpr std::uint8_t kHotPatch[6] = {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x5D};
    if (reader.Read(at, prologue, 6) && std::memcmp(prologue, kHotPatch, 6) == 0) {
      at += 6;
      in = DecodeInstruction(reader, at, nullptr, nullptr);
    }
    const bool unconditional =
        in.opcode == 0xE9 || (in.opcode == 0xFF && ((in.modrm >> 3) & 7) == 4);
    if (!in.valid || !unconditional) break;
    std::uint32_t next = 0;
    if (in.relativeTarget) {
      next = in.target;
    } else if (in.targetPointer) {
      next = ReadPointer(in.targetPointer);
    }
    if (!next) break;
    address = next;
  }
  return address;
}

std::uint32_t ProcAddress(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  return handle ? static_cast<std::uint32_t>(
                      reinterpret_cast<std::uintptr_t>(GetProcAddress(handle, name)))
                : 0;
}

bool WriteCode(std::uint32_t at, const void* bytes, std::size_t length) {
  void* place = reinterpret_cast<void*>(static_cast<std::uintptr_t>(at));
  DWORD old = 0;
  if (!VirtualProtect(place, length, PAGE_EXECUTE_READWRITE, &old)) return false;
  std::memcpy(place, bytes, length);
  VirtualProtect(place, length, old, &old);
  FlushInstructionCache(GetCurrentProcess(), place, length);
  return true;
}

}  // namespace

bool PatchCreationCall(CreateRemoteThreadExFn hook, CreationCallPatch& patch) {
  std::uint32_t remote = ProcAddress(L"kernelbase.dll", "CreateRemoteThreadEx");
  if (!remote) remote = ProcAddress(L"kernel32.dll", "CreateRemoteThreadEx");
  const std::uint32_t create = FollowJumps(ProcAddress(L"kernel32.dll", "CreateThread"));
  if (!remote || !create) return false;
  const std::uint32_t remoteCode = FollowJumps(remote);
  const TProcessMemoryReader reader;
  // CreateThread is a short forwarding routine: its call comes early.
  std::uint32_t at = create;
  for (int count = 0; count < 48; ++count) {
    const TInstruction in = DecodeInstruction(reader, at, nullptr, nullptr);
    if (!in.valid) return false;
    if (in.isCall) {
      std::uint32_t target = 0;
      if (in.relativeTarget) {
        target = in.target;
      } else if (in.targetPointer) {
        target = ReadPointer(in.targetPointer);
      }
      const bool direct = in.relativeTarget && in.length == 5;
      const bool throughPointer = in.targetPointer && in.length == 6;
      if (target && (direct || throughPointer) &&
          (target == remote || FollowJumps(target) == remoteCode)) {
        // A direct call of our own, padded to the old length.
        std::uint8_t code[6] = {0xE8, 0, 0, 0, 0, 0x90};
        const auto rel =
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hook)) - (at + 5);
        std::memcpy(code + 1, &rel, 4);
        patch.at = at;
        patch.length = in.length;
        if (!reader.Read(at, patch.saved, in.length)) return false;
        patch.real = reinterpret_cast<CreateRemoteThreadExFn>(static_cast<std::uintptr_t>(target));
        if (!WriteCode(at, code, in.length)) {
          patch = {};
          return false;
        }
        return true;
      }
    }
    // The routine ends before any such call: nothing to patch.
    if (in.opcode == 0xC3 || in.opcode == 0xC2) return false;
    at = in.next;
  }
  return false;
}

void RestoreCreationCall(CreationCallPatch& patch) {
  if (patch.at && patch.length) WriteCode(patch.at, patch.saved, patch.length);
  // real stays: a thread already inside the hook still calls through it.
  patch.at = 0;
  patch.length = 0;
}

bool InSystemThreadModule(std::uintptr_t address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(address), &module))
    return false;
  for (const wchar_t* name : {L"kernel32.dll", L"kernelbase.dll", L"ntdll.dll"}) {
    if (module == GetModuleHandleW(name)) return true;
  }
  return false;
}

}  // namespace ostrel::rt
