#include "crash/report/symbols/win/dbg_help_lock.h"

#include <sddl.h>

namespace ostrel {
namespace {

// In the session's namespace, like every reporter object: a global name would
// need a privilege to create and would couple sessions that share nothing.
constexpr wchar_t kName[] = L"OstrelDbgHelp";
constexpr DWORD kWaitRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Everyone may wait on it and release it; the low mandatory label lets
// low-integrity processes write to it too. Systems without labels get the
// access list alone.
constexpr const wchar_t* kDescriptors[] = {L"D:(A;;0x00100001;;;WD)S:(ML;;NW;;;LW)",
                                           L"D:(A;;0x00100001;;;WD)"};
static_assert(kWaitRights == 0x00100001);

}  // namespace

HANDLE OpenDbgHelpMutex() {
  for (const wchar_t* text : kDescriptors) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
      continue;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexExW(&attributes, kName, 0, kWaitRights);
    LocalFree(descriptor);
    if (mutex != nullptr) return mutex;
  }
  return CreateMutexExW(nullptr, kName, 0, kWaitRights);
}

HANDLE TDbgHelpLock::Acquire() {
  HANDLE mutex = OpenDbgHelpMutex();
  if (mutex == nullptr) return nullptr;
  switch (WaitForSingleObject(mutex, stuck_.load() ? 0 : waitMs_)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder ended; the library is ours now
      stuck_.store(false);
      return mutex;
    case WAIT_TIMEOUT:
      stuck_.store(true);
      break;
    default:
      break;
  }
  CloseHandle(mutex);
  return nullptr;
}

void TDbgHelpLock::Release(HANDLE held) {
  ReleaseMutex(held);
  CloseHandle(held);
}

}  // namespace ostrel
