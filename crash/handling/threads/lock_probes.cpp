// Lock probes: whether waiting for another thread is safe. The loader and
// process-environment locks are read from the process environment block; a
// heap's lock is probed by a thread of its own, since probing it here would
// block this thread when some thread (perhaps a faulting one) holds it.
#include "crash/handling/threads/lock_probes.h"

#include <cstdint>
#include <string>

#include "crash/handling/threads/thread_end.h"
#include "crash/handling/threads/thread_registry.h"

namespace ostrel::rt {
namespace {

// The 32-bit PEB's loader lock and process-environment lock: pointers to
// critical sections whose owner field names the thread that holds them.
constexpr std::uintptr_t kPebLoaderLock = 0xA0;
constexpr std::uintptr_t kPebFastPebLock = 0x1C;

// The owner of one of those locks: 0 when nobody holds it.
std::uintptr_t LockOwner(std::uintptr_t pebOffset) {
  std::uintptr_t peb;
  asm volatile("movl %%fs:0x30, %0" : "=r"(peb));
  const auto* section = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + pebOffset);
  return section ? reinterpret_cast<std::uintptr_t>(section->OwningThread) : 0;
}

bool LockHeld(std::uintptr_t pebOffset) { return LockOwner(pebOffset) != 0; }

// A thread that takes and gives back the heaps' locks on request: when it
// cannot, some thread (perhaps the raising one, faulting inside the heap)
// holds them, and a handler thread would block on its first allocation.
struct HeapProbe {
  HANDLE request = nullptr, answer = nullptr, thread = nullptr;
  DWORD threadId = 0;
  HANDLE heaps[2] = {};
  volatile LONG pending = 0;
};
HeapProbe& TheHeapProbe() {
  static HeapProbe probe;
  return probe;
}

DWORD WINAPI HeapProbeMain(void*) {
  HeapProbe& p = TheHeapProbe();
  for (;;) {
    const DWORD woke = WaitForSingleObjectEx(p.request, INFINITE, TRUE);
    if (woke == WAIT_IO_COMPLETION) continue;
    if (woke != WAIT_OBJECT_0) break;
    for (HANDLE heap : p.heaps) {
      if (heap && HeapLock(heap)) HeapUnlock(heap);
    }
    InterlockedExchange(&p.pending, 0);
    SetEvent(p.answer);
  }
  return 0;
}

}  // namespace

bool HeapsFree(DWORD waitMs) {
  HeapProbe& p = TheHeapProbe();
  if (!p.request) return true;
  // A request still unanswered: the lock is still held.
  if (InterlockedCompareExchange(&p.pending, 1, 0) != 0) return false;
  ResetEvent(p.answer);
  SetEvent(p.request);
  return WaitForSingleObject(p.answer, waitMs) == WAIT_OBJECT_0;
}

void StartHeapProbe() {
  HeapProbe& p = TheHeapProbe();
  if (p.request) return;
  p.heaps[0] = GetProcessHeap();
  using GetHeap = std::intptr_t(__cdecl*)();
  if (auto get = reinterpret_cast<GetHeap>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), "_get_heap_handle")))) {
    p.heaps[1] = reinterpret_cast<HANDLE>(get());
  }
  p.request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  p.answer = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  p.thread = CreateThread(nullptr, 64 * 1024, HeapProbeMain, nullptr, 0, &p.threadId);
  if (p.thread) {
    const std::u16string name = u"Ostrel - HeapProbeThread";
    UpdateThreadEntry(p.threadId, p.thread, &name, GetCurrentThreadId(), 0, nullptr);
  }
}

void StopHeapProbe() {
  HeapProbe& p = TheHeapProbe();
  // A library that carries the reporter must not leave it behind when
  // unloaded.
  if (p.thread) {
    if (p.pending) WaitForSingleObject(p.answer, 250);
    EndIdleThread(p.thread, 250);
    CloseHandle(p.thread);
    RemoveThreadEntry(p.threadId);
  }
  if (p.request) CloseHandle(p.request);
  if (p.answer) CloseHandle(p.answer);
  p = HeapProbe{};
}

bool LoaderLockHeldHere() { return LockOwner(kPebLoaderLock) == GetCurrentThreadId(); }

bool WaitingIsUnsafe(DWORD waitMs) {
  for (DWORD waited = 0;; waited += 10) {
    if (!LockHeld(kPebLoaderLock) && !LockHeld(kPebFastPebLock)) break;
    if (waited >= waitMs) return true;
    Sleep(10);
  }
  return waitMs > 0 && !HeapsFree(waitMs);
}

}  // namespace ostrel::rt
