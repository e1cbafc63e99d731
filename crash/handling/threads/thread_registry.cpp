// The thread registry: one list per process of every thread's name, class,
// creator and handle, in named shared memory so that every module carrying
// the reporter sees the same list. Entries and their texts live on the
// process heap: a module that added one may be unloaded before another
// module frees it.
#include "crash/handling/threads/thread_registry.h"

#include <cstdio>

#include <functional>

#include "crash/settings/packed_string.h"
#include "crash/settings/shared_heap.h"
#include "crash/settings/win/kernel_object_security.h"
#include "crash/settings/win/process_settings.h"

namespace ostrel::rt {
namespace {

struct Entry {
  DWORD threadId;
  char* name;
  Entry* link;
  char* className;
  std::uintptr_t creatorAddress;
  DWORD creatorThreadId;
  HANDLE handle;
};
static_assert(sizeof(Entry) == 28);

struct Block {
  HANDLE watcherMutex;
  HANDLE listMutex;
  Entry* head;
  LONG references;
  HANDLE mapping;
};
static_assert(sizeof(Block) == 20);

// This module's view of the registry.
struct Registry {
  HANDLE mapping = nullptr;
  Block* block = nullptr;
  bool starting = true;
};
Registry& This() {
  static Registry registry;
  return registry;
}

// Readers go without the registry rather than hold up a report: only
// updates wait for the list without limit.
constexpr DWORD kReaderWaitMs = 50;

const ICodePage& CodePage() { return ProcessSettingsPlatform().CodePage(); }

void FreeEntry(Entry* e) {
  FreePacked(e->name);
  FreePacked(e->className);
  if (e->handle) CloseHandle(e->handle);
  SharedFree(e);
}

class ListLock {
 public:
  ListLock(Block* block, DWORD waitMs) : block_(block) {
    // A thread that ended holding the lock hands it to us all the same.
    const DWORD r = block_ ? WaitForSingleObject(block_->listMutex, waitMs) : WAIT_FAILED;
    held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  ~ListLock() {
    if (held_) ReleaseMutex(block_->listMutex);
  }
  bool Held() const { return held_; }

 private:
  Block* block_;
  bool held_ = false;
};

Entry* Unlink(Block* block, DWORD threadId) {
  for (Entry** at = &block->head; *at; at = &(*at)->link) {
    if ((*at)->threadId == threadId) {
      Entry* found = *at;
      *at = found->link;
      found->link = nullptr;
      return found;
    }
  }
  return nullptr;
}

// One ended thread's entry leaves with every update.
void DropOneEnded(Block* block) {
  for (Entry** at = &block->head; *at; at = &(*at)->link) {
    if ((*at)->handle && WaitForSingleObject((*at)->handle, 0) == WAIT_OBJECT_0) {
      Entry* ended = *at;
      *at = ended->link;
      FreeEntry(ended);
      return;
    }
  }
}

}  // namespace

void OpenThreadRegistry() {
  Registry& r = This();
  if (r.block) return;
  wchar_t name[64];
  std::swprintf(name, 64, L"OstrelThreadNameBuf$%X", static_cast<unsigned>(GetCurrentProcessId()));
  KernelObjectSecurity security;
  r.mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                 sizeof(Block), name);
  if (!r.mapping) {
    MessageBoxW(nullptr, L"internal error (opening global buffer)", L"Ostrel", MB_OK);
    ExitProcess(0);
  }
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  r.block = static_cast<Block*>(MapViewOfFile(r.mapping, FILE_MAP_WRITE, 0, 0, sizeof(Block)));
  if (!r.block) {
    MessageBoxW(nullptr, L"internal error (mapping global buffer)", L"Ostrel", MB_OK);
    ExitProcess(0);
  }
  if (!existed) {
    r.block->watcherMutex = CreateMutexW(nullptr, FALSE, nullptr);
    r.block->listMutex = CreateMutexW(nullptr, FALSE, nullptr);
    r.block->references = 1;
    r.block->mapping = r.mapping;
    const std::u16string main = u"main thread";
    UpdateThreadEntry(GetCurrentThreadId(), nullptr, &main, 0, 0, nullptr);
  } else {
    InterlockedIncrement(&r.block->references);
  }
  r.starting = false;
}

void CloseThreadRegistry() {
  Registry& r = This();
  if (!r.block) return;
  if (InterlockedDecrement(&r.block->references) == 0) {
    {
      ListLock lock(r.block, INFINITE);
      while (Entry* e = r.block->head) {
        r.block->head = e->link;
        FreeEntry(e);
      }
    }
    CloseHandle(r.block->watcherMutex);
    CloseHandle(r.block->listMutex);
  }
  UnmapViewOfFile(r.block);
  CloseHandle(r.mapping);
  r.block = nullptr;
  r.mapping = nullptr;
}

void UpdateThreadEntry(DWORD threadId, HANDLE handle, const std::u16string* name,
                       DWORD creatorThreadId, std::uintptr_t creatorAddress,
                       const std::u16string* className) {
  Registry& r = This();
  ListLock lock(r.block, INFINITE);
  if (!lock.Held()) return;
  Entry* old = Unlink(r.block, threadId);
  if (name || creatorAddress) {
    auto* e = static_cast<Entry*>(SharedAlloc(sizeof(Entry)));
    e->threadId = threadId;
    try {
      e->name = name && !name->empty() ? PackText(*name, CodePage())
                : old && old->name     ? PackNarrow(UnpackNarrow(old->name))
                                       : nullptr;
      if (old && name && name->empty() && old->name) {
        FreePacked(e->name);
        e->name = PackText(UnpackText(old->name, CodePage()), CodePage());
      }
      e->className = className && !className->empty()
                         ? PackText(*className, CodePage())
                         : (old && old->className
                                ? PackText(UnpackText(old->className, CodePage()), CodePage())
                                : nullptr);
    } catch (...) {
    }
    e->creatorAddress = creatorAddress ? creatorAddress : old ? old->creatorAddress : 0;
    e->creatorThreadId = creatorThreadId ? creatorThreadId : old ? old->creatorThreadId : 0;
    HANDLE own = nullptr;
    if (handle) {
      DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own,
                      SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
    } else {
      own = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, threadId);
    }
    e->handle = own;
    e->link = r.block->head;
    r.block->head = e;
  }
  if (old) FreeEntry(old);
  if (!r.starting) DropOneEnded(r.block);
}

void RemoveThreadEntry(DWORD threadId) {
  UpdateThreadEntry(threadId, nullptr, nullptr, 0, 0, nullptr);
}

bool WhileRegistered(DWORD threadId, const std::function<void()>& work) {
  Registry& r = This();
  ListLock lock(r.block, kReaderWaitMs);
  if (!lock.Held()) return false;
  for (Entry* e = r.block->head; e; e = e->link) {
    if (e->threadId == threadId) {
      work();
      return true;
    }
  }
  return false;
}

std::u16string ThreadName(DWORD threadId) {
  Registry& r = This();
  ListLock lock(r.block, kReaderWaitMs);
  if (!lock.Held()) return {};
  for (Entry* e = r.block->head; e; e = e->link) {
    if (e->threadId == threadId) return e->name ? UnpackText(e->name, CodePage()) : u"";
  }
  return {};
}

std::vector<ThreadCreator> ThreadCreators() {
  std::vector<ThreadCreator> all;
  Registry& r = This();
  ListLock lock(r.block, kReaderWaitMs);
  if (!lock.Held()) return all;
  for (Entry* e = r.block->head; e; e = e->link) {
    all.push_back({e->threadId, e->creatorAddress,
                   e->name ? UnpackText(e->name, CodePage()) : std::u16string(),
                   e->className ? UnpackText(e->className, CodePage()) : std::u16string(),
                   e->creatorThreadId});
  }
  return all;
}

HANDLE ThreadRegistryWatcherMutex() {
  Registry& r = This();
  return r.block ? r.block->watcherMutex : nullptr;
}

}  // namespace ostrel::rt
