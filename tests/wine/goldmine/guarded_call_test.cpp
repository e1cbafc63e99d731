#include "goldmine/win/guarded_call.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace pelmora {
namespace {

void* ChainHead() {
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

// A page without access: the lowest page is not reliably unmapped under
// every Wine, a page of our own is.
void WriteNoAccess(void*) {
  static int* const page =
      static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
  int* volatile target = page;
  *target = 1;
}
void Raise(void*) { RaiseException(0xE0001234, EXCEPTION_NONCONTINUABLE, 0, nullptr); }
void Count(void* p) { ++*static_cast<int*>(p); }

// A library that handles its own exception: the guard must not see it.
void HandlesItsOwn(void* p) {
  const bool inner = CallGuarded(Raise, nullptr);
  *static_cast<int*>(p) = inner ? 1 : 2;
}

TEST(CallGuarded, ReturnsTrueAndRunsTheCall) {
  int n = 0;
  EXPECT_TRUE(CallGuarded(Count, &n));
  EXPECT_TRUE(CallGuarded(Count, &n));
  EXPECT_EQ(n, 2);
  EXPECT_EQ(CallGuardedInt([] { return 42; }, -1), 42);
}

TEST(CallGuarded, FaultsAndRaisedExceptionsComeBackAsFalseWithTheChainIntact) {
  void* const before = ChainHead();
  EXPECT_FALSE(CallGuarded(WriteNoAccess, nullptr));
  EXPECT_EQ(ChainHead(), before);
  EXPECT_FALSE(CallGuarded(Raise, nullptr));
  EXPECT_EQ(ChainHead(), before);
  // Still working after the unwinds, and the fallback is what a caller sees.
  EXPECT_EQ(CallGuardedInt(
                [] {
                  WriteNoAccess(nullptr);
                  return 7;
                },
                0),
            0);
  int n = 0;
  EXPECT_TRUE(CallGuarded(Count, &n));
  EXPECT_EQ(n, 1);
}

TEST(CallGuarded, AnExceptionHandledInsideIsNotSeenOutside) {
  int inner = 0;
  EXPECT_TRUE(CallGuarded(HandlesItsOwn, &inner));
  EXPECT_EQ(inner, 2);
}

struct ThreadResult {
  bool faulted = false, fine = false;
};

DWORD WINAPI FaultOnThread(void* p) {
  auto* r = static_cast<ThreadResult*>(p);
  int n = 0;
  r->faulted = !CallGuarded(WriteNoAccess, nullptr);
  r->fine = CallGuarded(Count, &n) && n == 1;
  return 0;
}

TEST(CallGuarded, WorksOnOtherThreads) {
  ThreadResult result;
  HANDLE thread = CreateThread(nullptr, 0, FaultOnThread, &result, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, 60000);
  CloseHandle(thread);
  EXPECT_TRUE(result.faulted);
  EXPECT_TRUE(result.fine);
}

}  // namespace
}  // namespace pelmora
