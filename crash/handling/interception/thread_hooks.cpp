// Every thread the process creates starts through the reporter, so that
// each thread is entered in the registry with its creator and gets stack
// room for the handler of a stack overflow. CreateThread's own call of
// CreateRemoteThreadEx is redirected, which covers libraries loaded later;
// where that call cannot be found, every module's import of CreateThread
// is patched instead (the C run-time's _beginthreadex and std::thread end
// there too).
#include "crash/handling/interception/thread_hooks.h"

#include <vector>

#include "crash/base/win/import_patch.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/interception/creation_call_patch.h"
#include "crash/handling/threads/thread_registry.h"

namespace ostrel::rt {
namespace {

using CreateThreadFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                       LPVOID, DWORD, LPDWORD);

using BeginThreadExFn = std::uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*),
                                                 void*, unsigned, unsigned*);

struct Hooks {
  CreateThreadFn real = nullptr;
  BeginThreadExFn realBeginThreadEx = nullptr;
  std::vector<void**> patched, patchedBeginThreadEx;
  CreationCallPatch creationCall;
  // The real functions outlive the hooks: a thread may still be inside one.
  bool installed = false;
};

// The program's call of the C run-time's thread start, while the run-time
// calls CreateThread for it: the thread's creator is the program's code,
// not the run-time's.
thread_local std::uintptr_t pendingCreator = 0;
Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

struct StartBlock {
  LPTHREAD_START_ROUTINE routine;
  LPVOID parameter;
};

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

// Starts the thread on ThreadStart and enters it in the registry; create
// makes the thread from the routine and parameter it is given.
template <typename Create>
HANDLE StartThread(std::uintptr_t creator, LPTHREAD_START_ROUTINE routine, LPVOID parameter,
                   DWORD flags, LPDWORD id, Create create) {
  if (pendingCreator) creator = pendingCreator;
  auto* block = static_cast<StartBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(StartBlock)));
  if (!block) return create(routine, parameter, flags, id);
  *block = {routine, parameter};
  DWORD ownId = 0;
  HANDLE thread = create(ThreadStart, block, flags | CREATE_SUSPENDED, &ownId);
  if (!thread) {
    HeapFree(GetProcessHeap(), 0, block);
    return nullptr;
  }
  UpdateThreadEntry(ownId, thread, nullptr, GetCurrentThreadId(), creator, nullptr);
  if (!(flags & CREATE_SUSPENDED)) ResumeThread(thread);
  if (id) *id = ownId;
  return thread;
}

HANDLE WINAPI HookedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                 LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                 LPDWORD id) {
  return StartThread(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)), routine,
                     parameter, flags, id,
                     [&](LPTHREAD_START_ROUTINE r, LPVOID p, DWORD f, LPDWORD i) {
                       return TheHooks().real(security, stack, r, p, f, i);
                     });
}

// The code that asked CreateThread for the thread: the first return address
// above this frame outside the system's own modules.
std::uintptr_t CreatorAbove(const std::uintptr_t* frame) {
  const std::uintptr_t* top;
  asm("movl %%fs:4, %0" : "=r"(top));  // the stack's top from the thread block
  for (int n = 0; n < 256 && frame + n < top; ++n) {
    const std::uintptr_t value = frame[n];
    if (value < 0x10000 || InSystemThreadModule(value)) continue;
    HMODULE module = nullptr;
    if (GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(value), &module) &&
        value - reinterpret_cast<std::uintptr_t>(module) >= 0x1000) {
      // Only a value just behind a call is a return address (the bytes
      // before it lie in the module's code, past its headers).
      const auto* code = reinterpret_cast<const std::uint8_t*>(value);
      if (code[-5] == 0xE8 || code[-6] == 0xFF || code[-2] == 0xFF || code[-3] == 0xFF)
        return value;
    }
  }
  return 0;
}

HANDLE WINAPI HookedCreateRemoteThreadEx(HANDLE process, LPSECURITY_ATTRIBUTES security,
                                         SIZE_T stack, LPTHREAD_START_ROUTINE routine,
                                         LPVOID parameter, DWORD flags,
                                         LPPROC_THREAD_ATTRIBUTE_LIST attributes, LPDWORD id) {
  const CreateRemoteThreadExFn real = TheHooks().creationCall.real;
  if (GetProcessId(process) != GetCurrentProcessId())
    return real(process, security, stack, routine, parameter, flags, attributes, id);
  const auto* frame = static_cast<const std::uintptr_t*>(__builtin_frame_address(0));
  return StartThread(CreatorAbove(frame + 1), routine, parameter, flags, id,
                     [&](LPTHREAD_START_ROUTINE r, LPVOID p, DWORD f, LPDWORD i) {
                       return real(process, security, stack, r, p, f, attributes, i);
                     });
}

std::uintptr_t __cdecl HookedBeginThreadEx(void* security, unsigned stack,
                                           unsigned(__stdcall* start)(void*), void* argument,
                                           unsigned flags, unsigned* id) {
  pendingCreator = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
  const std::uintptr_t thread =
      TheHooks().realBeginThreadEx(security, stack, start, argument, flags, id);
  pendingCreator = 0;
  return thread;
}

}  // namespace

void InstallThreadHooks() {
  Hooks& hooks = TheHooks();
  // Only the executable's copy of the reporter hooks thread creation.
  if (hooks.installed || Runtime::Get().Module() != GetModuleHandleW(nullptr)) return;
  void* target =
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread"));
  if (!target) return;
  hooks.real = reinterpret_cast<CreateThreadFn>(target);
  hooks.installed = true;
  if (!PatchCreationCall(&HookedCreateRemoteThreadEx, hooks.creationCall))
    PatchImports(target, reinterpret_cast<void*>(&HookedCreateThread), hooks.patched);
  if (void* begin = reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), "_beginthreadex"))) {
    hooks.realBeginThreadEx = reinterpret_cast<BeginThreadExFn>(begin);
    PatchImports(begin, reinterpret_cast<void*>(&HookedBeginThreadEx), hooks.patchedBeginThreadEx);
  }
}

void RemoveThreadHooks() {
  Hooks& hooks = TheHooks();
  RestoreCreationCall(hooks.creationCall);
  RestoreImports(hooks.patched, reinterpret_cast<void*>(&HookedCreateThread),
                 reinterpret_cast<void*>(hooks.real));
  RestoreImports(hooks.patchedBeginThreadEx, reinterpret_cast<void*>(&HookedBeginThreadEx),
                 reinterpret_cast<void*>(hooks.realBeginThreadEx));
  hooks.installed = false;
}

}  // namespace ostrel::rt
