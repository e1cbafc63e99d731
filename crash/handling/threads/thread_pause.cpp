// Pausing the program's threads while an exception is handled. Pausing is
// cooperative: the message-retrieval functions are patched in the import
// tables, and a thread that asks for a message while a pause is on waits
// there. The main thread is sent the handler-firing message so that it
// passes the check at once.
#include "crash/handling/threads/thread_pause.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "crash/base/win/import_patch.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/report/symbols/win/loaded_symbols.h"

namespace ostrel::rt {
namespace {

using GetMessageFn = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
using PeekMessageFn = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT);

struct Pause {
  std::mutex lock;  // the pause lock
  bool patched = false;
  GetMessageFn getA = nullptr, getW = nullptr;
  PeekMessageFn peekA = nullptr, peekW = nullptr;
  std::vector<void**> slots[4];
  HANDLE mainGo = nullptr, othersGo = nullptr;  // manual-reset; set: running
  bool active = false;
  std::vector<DWORD> listed;
  DWORD mainThreadId = 0;
  void (*wakeMain)() = nullptr;
};
Pause& ThePause() {
  static Pause pause;
  return pause;
}

void Check() {
  Pause& p = ThePause();
  if (!p.mainGo) return;
  const DWORD error = GetLastError();
  const DWORD self = GetCurrentThreadId();
  HANDLE wait = nullptr;
  if (self == p.mainThreadId) {
    wait = p.mainGo;
  } else {
    std::lock_guard guard(p.lock);
    if (std::find(p.listed.begin(), p.listed.end(), self) != p.listed.end()) wait = p.othersGo;
  }
  if (wait) WaitForSingleObject(wait, INFINITE);
  SetLastError(error);
}

BOOL WINAPI PausedGetMessageA(LPMSG m, HWND w, UINT a, UINT b) {
  Check();
  return ThePause().getA(m, w, a, b);
}
BOOL WINAPI PausedGetMessageW(LPMSG m, HWND w, UINT a, UINT b) {
  Check();
  return ThePause().getW(m, w, a, b);
}
BOOL WINAPI PausedPeekMessageA(LPMSG m, HWND w, UINT a, UINT b, UINT r) {
  Check();
  return ThePause().peekA(m, w, a, b, r);
}
BOOL WINAPI PausedPeekMessageW(LPMSG m, HWND w, UINT a, UINT b, UINT r) {
  Check();
  return ThePause().peekW(m, w, a, b, r);
}

void* Hook(int i) {
  void* const hooks[4] = {
      reinterpret_cast<void*>(&PausedGetMessageA), reinterpret_cast<void*>(&PausedGetMessageW),
      reinterpret_cast<void*>(&PausedPeekMessageA), reinterpret_cast<void*>(&PausedPeekMessageW)};
  return hooks[i];
}

void* Real(Pause& p, int i) {
  void* const reals[4] = {reinterpret_cast<void*>(p.getA), reinterpret_cast<void*>(p.getW),
                          reinterpret_cast<void*>(p.peekA), reinterpret_cast<void*>(p.peekW)};
  return reals[i];
}

void PatchOnce(Pause& p) {
  if (p.patched) return;
  p.patched = true;
  HMODULE user = GetModuleHandleW(L"user32.dll");
  if (!user) return;
  p.getA =
      reinterpret_cast<GetMessageFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetMessageA")));
  p.getW =
      reinterpret_cast<GetMessageFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetMessageW")));
  p.peekA = reinterpret_cast<PeekMessageFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "PeekMessageA")));
  p.peekW = reinterpret_cast<PeekMessageFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "PeekMessageW")));
  if (!p.getA || !p.getW || !p.peekA || !p.peekW) return;
  for (int i = 0; i < 4; ++i) PatchImports(Real(p, i), Hook(i), p.slots[i]);
}

// A thread created from code that carries the reporter's symbol
// information is the program's own; the system's and other libraries'
// threads are left alone.
bool CreatedByTheProgram(std::uintptr_t creator) {
  if (!creator) return false;
  const auto symbols = SymbolsForModule(creator);
  return symbols && symbols->valid;
}

}  // namespace

void SetPauseMainThread(DWORD mainThreadId, void (*wake)()) {
  Pause& p = ThePause();
  std::lock_guard guard(p.lock);
  p.mainThreadId = mainThreadId;
  p.wakeMain = wake;
}

// Patched before the program's loops run: a loop that is already running
// may keep the function's address in a register and never see a later patch.
void PrepareThreadPausing() {
  Pause& p = ThePause();
  std::lock_guard guard(p.lock);
  PatchOnce(p);
}

void PauseThreads(DWORD exempt) {
  Pause& p = ThePause();
  const DWORD self = GetCurrentThreadId();
  DWORD main = 0;
  {
    std::lock_guard guard(p.lock);
    main = p.mainThreadId;
  }
  std::vector<DWORD> listed;
  for (const ThreadCreator& t : ThreadCreators()) {
    if (t.threadId == self || t.threadId == main || t.threadId == exempt) continue;
    if (CreatedByTheProgram(t.creatorAddress)) listed.push_back(t.threadId);
  }
  {
    std::lock_guard guard(p.lock);
    PatchOnce(p);
    if (!p.mainGo) p.mainGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!p.othersGo) p.othersGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(p.mainGo);
    ResetEvent(p.othersGo);
    p.listed = std::move(listed);
    p.active = true;
  }
  if (p.wakeMain) p.wakeMain();
}

void ResumeThreads() {
  Pause& p = ThePause();
  std::lock_guard guard(p.lock);
  if (p.mainGo) SetEvent(p.mainGo);
  if (p.othersGo) SetEvent(p.othersGo);
  p.listed.clear();
  p.active = false;
}

void ResumeMainThreadOnly() {
  Pause& p = ThePause();
  std::lock_guard guard(p.lock);
  if (p.active && p.mainGo) SetEvent(p.mainGo);
}

void PauseMainThreadAgain() {
  Pause& p = ThePause();
  std::lock_guard guard(p.lock);
  if (p.active && p.mainGo) ResetEvent(p.mainGo);
}

void EndThreadPausing() {
  Pause& p = ThePause();
  ResumeThreads();
  std::lock_guard guard(p.lock);
  for (int i = 0; i < 4; ++i) RestoreImports(p.slots[i], Hook(i), Real(p, i));
  p.patched = false;
}

}  // namespace ostrel::rt
