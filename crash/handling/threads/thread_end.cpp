// Ends one of the reporter's idle threads so that it runs none of this
// module's code again, even while the loader lock is held (a library that
// carries the reporter being unloaded), when no thread can finish exiting.
// An APC placed in memory that outlives the module signals and exits the
// thread: its waits are alertable. Terminating it instead would also do,
// but leaves a thread killed in the middle of whatever it did.
#include "crash/handling/threads/thread_end.h"

#include <cstdint>
#include <cstring>

namespace ostrel::rt {
namespace {

// push event; mov eax, SetEvent; call eax; push 0; mov eax, ExitThread; call eax
struct ExitStub {
  unsigned char code[21];
};

void* MakeStub(HANDLE left) {
  auto* stub = static_cast<ExitStub*>(
      VirtualAlloc(nullptr, sizeof(ExitStub), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (!stub) return nullptr;
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  const auto setEvent = reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel, "SetEvent"));
  const auto exitThread = reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel, "ExitThread"));
  if (!setEvent || !exitThread) {
    VirtualFree(stub, 0, MEM_RELEASE);
    return nullptr;
  }
  unsigned char* p = stub->code;
  auto put32 = [&](std::uintptr_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    std::memcpy(p, &v, 4);
    p += 4;
  };
  *p++ = 0x68;
  put32(reinterpret_cast<std::uintptr_t>(left));
  *p++ = 0xB8;
  put32(setEvent);
  *p++ = 0xFF;
  *p++ = 0xD0;
  *p++ = 0x6A;
  *p++ = 0x00;
  *p++ = 0xB8;
  put32(exitThread);
  *p++ = 0xFF;
  *p++ = 0xD0;
  FlushInstructionCache(GetCurrentProcess(), stub, sizeof(ExitStub));
  return stub;
}

}  // namespace

void EndIdleThread(HANDLE thread, DWORD waitMs) {
  if (!thread || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) return;
  HANDLE left = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  void* stub = left ? MakeStub(left) : nullptr;
  bool gone = false;
  if (stub && QueueUserAPC(reinterpret_cast<PAPCFUNC>(stub), thread, 0)) {
    gone = WaitForSingleObject(left, waitMs) == WAIT_OBJECT_0;
  }
  if (!gone) {
    TerminateThread(thread, 0);
  }
  // The stub stays: a thread that took it late would still run it.
  if (left && gone) CloseHandle(left);
}

}  // namespace ostrel::rt
