// Program databases read through the debug-help library, and the lock that
// serialises its use.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "tests/support/skip_or_fail.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "crash/report/symbols/pe_image.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/win/dbg_help_lock.h"
#include "crash/report/symbols/win/loaded_symbols.h"
#include "tests/wine/symbols/test_files.h"

namespace ostrel {
namespace {

#if PELMORA_PDB_PROBE

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

using AlphaFn = unsigned (*)(int*, int*);
using BetaFn = unsigned (*)(int*);

// Copies of the probe module, each in a folder of its own with the files the
// case puts beside it. The reporter's DbgHelp is the system's, copied beside
// this program as the reporter expects it.
class ProgramDatabase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring target = test::Folder(test::OwnPath()) + L"dbghelp.dll";
    // Fails harmlessly when an earlier run's copy is in use.
    CopyFileW((std::wstring(system, n) + L"\\dbghelp.dll").c_str(), target.c_str(), FALSE);
  }

  void SetUp() override {
    ASSERT_NE(GetFileAttributesW((test::Folder(test::OwnPath()) + L"dbghelp.dll").c_str()),
              INVALID_FILE_ATTRIBUTES);
    scratch_ = test::ScratchFolder(L"ostrel-pdb");
    probes_ = test::Folder(test::OwnPath()) + L"pdb_probe\\";
  }
  void TearDown() override {
    for (HMODULE m : loaded_) FreeLibrary(m);
    ClearSymbolCache();
    for (auto it = written_.rbegin(); it != written_.rend(); ++it)
      if (!DeleteFileW(it->c_str())) RemoveDirectoryW(it->c_str());
    RemoveDirectoryW(scratch_.c_str());
  }

  std::vector<std::uint8_t> Built(int build, const wchar_t* file) {
    return test::ReadBytes(probes_ + L"build" + std::to_wstring(build) + L"\\" + file);
  }
  void Put(const std::wstring& path, const std::vector<std::uint8_t>& data) {
    test::WriteBytes(path, data);
    written_.push_back(path);
  }
  // Build 1 of the probe in folder case, with these files beside it.
  HMODULE LoadProbe(const std::wstring& folderName,
                    const std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>>& files) {
    const std::wstring folder = scratch_ + folderName + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    written_.push_back(folder);
    Put(folder + L"pdb_probe.dll", Built(1, L"pdb_probe.dll"));
    for (const auto& [name, data] : files) Put(folder + name, data);
    HMODULE m = LoadLibraryW((folder + L"pdb_probe.dll").c_str());
    if (m != nullptr) loaded_.push_back(m);
    return m;
  }
  template <typename T>
  static T Export(HMODULE m, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
  }

  std::wstring scratch_, probes_;
  std::vector<std::wstring> written_;
  std::vector<HMODULE> loaded_;
};

TEST_F(ProgramDatabase, FunctionsAndLinesOfTheModuleComeFromItsPdb) {
  const HMODULE probe = LoadProbe(L"good", {{L"pdb_probe.pdb", Built(1, L"pdb_probe.pdb")}});
  ASSERT_NE(probe, nullptr);
  const auto alpha = Export<AlphaFn>(probe, "PdbAlpha");
  const auto beta = Export<BetaFn>(probe, "PdbBeta");
  ASSERT_TRUE(alpha && beta);

  int line = 0, first = 0;
  const std::uintptr_t call = alpha(&line, &first);
  TAddressInfo info = DescribeAddress(call);
  ASSERT_TRUE(info.found) << "no symbols for the probe";
  EXPECT_TRUE(EndsWithNoCase(info.moduleFileName, u"\\good\\pdb_probe.dll"));
  EXPECT_EQ(Narrow(info.unit), "pdb_probe");
  EXPECT_EQ(Narrow(info.functionName), "PdbAlpha");
  EXPECT_EQ(info.functionStart, reinterpret_cast<std::uintptr_t>(alpha));
  EXPECT_EQ(info.line, line);
  EXPECT_EQ(DescribeAddress(reinterpret_cast<std::uintptr_t>(alpha)).line, first);

  // Not exported: only the PDB knows this one, under its compiler name.
  int innerLine = 0;
  const std::uintptr_t inner = beta(&innerLine);
  info = DescribeAddress(inner);
  EXPECT_EQ(Narrow(info.functionName), "probe.TPdbForm.Refresh");
  EXPECT_EQ(info.line, innerLine);
  EXPECT_NE(info.functionStart, reinterpret_cast<std::uintptr_t>(beta));

  const auto start = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(alpha));
  EXPECT_EQ(Narrow(FunctionNameAt(start)), "pdb_probe.PdbAlpha");
  int rangeLine = 0;
  std::uint32_t from = 0, to = 0;
  LineRangeAt(static_cast<std::uint32_t>(call), rangeLine, from, to);
  EXPECT_EQ(rangeLine, line);
  EXPECT_GT(to, from);
}

// Each case would make the library fault or name the wrong code: a PDB of
// the other build, one cut short, and a file that is no PDB at all. The map
// beside the module is the next source.
TEST_F(ProgramDatabase, APdbThatIsNotTheModulesOwnIsPassedOver) {
  const std::vector<std::uint8_t> own = Built(1, L"pdb_probe.pdb");
  ASSERT_GT(own.size(), 8192u);
  const std::vector<std::uint8_t> cut(own.begin(), own.begin() + own.size() / 2);
  const std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>> cases = {
      {L"stale", Built(2, L"pdb_probe.pdb")},
      {L"cut", cut},
      {L"foreign", Built(1, L"pdb_probe.dll")}};
  for (const auto& [name, pdb] : cases) {
    SCOPED_TRACE(Narrow(std::u16string(name.begin(), name.end())));
    const HMODULE probe = LoadProbe(name, {{L"pdb_probe.pdb", pdb}});
    ASSERT_NE(probe, nullptr);
    const auto base = reinterpret_cast<std::uintptr_t>(probe);
    const auto alpha = reinterpret_cast<std::uintptr_t>(Export<void*>(probe, "PdbAlpha"));
    const TPeImage image({reinterpret_cast<const std::uint8_t*>(base), 0x1000}, true);
    ASSERT_TRUE(image.valid());
    char map[256];
    std::snprintf(map, sizeof map,
                  " Start         Length     Name                   Class\r\n"
                  " 0001:00001000 00001000H .text                  CODE\r\n\r\n"
                  "  Address         Publics by Value\r\n\r\n"
                  " 0001:%08X       FromMap\r\n",
                  static_cast<unsigned>(alpha - base - image.codeBegin()));
    Put(scratch_ + name + L"\\pdb_probe.map",
        std::vector<std::uint8_t>(map, map + std::strlen(map)));
    const TAddressInfo info = DescribeAddress(alpha + 2);
    EXPECT_EQ(Narrow(info.functionName), "FromMap");
    EXPECT_EQ(info.functionStart, alpha);
  }
}

#else

TEST(ProgramDatabase, NeedsClangAndLld) {
  PELMORA_SKIP_OR_FAIL("built without clang++ and ld.lld: no module with a program database");
}

#endif  // PELMORA_PDB_PROBE

// The access list lets every account wait on the lock and release it, and
// its label lets low-integrity processes do so too.
TEST(DbgHelpLock, AnyAccountOrIntegrityLevelMayTakeIt) {
  HANDLE lock = OpenDbgHelpMutex();
  ASSERT_NE(lock, nullptr);
  HANDLE readable = OpenMutexW(READ_CONTROL, FALSE, L"OstrelDbgHelp");
  ASSERT_NE(readable, nullptr) << GetLastError();
  PACL dacl = nullptr, sacl = nullptr;
  PSECURITY_DESCRIPTOR access = nullptr, label = nullptr;
  ASSERT_EQ(GetSecurityInfo(readable, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &dacl, nullptr, &access),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(GetSecurityInfo(readable, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, &sacl, &label),
            static_cast<DWORD>(ERROR_SUCCESS));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY mandatory = SECURITY_MANDATORY_LABEL_AUTHORITY;
  PSID everyone = nullptr, low = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  AllocateAndInitializeSid(&mandatory, 1, SECURITY_MANDATORY_LOW_RID, 0, 0, 0, 0, 0, 0, 0, &low);
  ACCESS_MASK granted = 0, lowPolicy = 0;
  for (WORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        EqualSid(const_cast<DWORD*>(&allowed->SidStart), everyone))
      granted |= allowed->Mask;
  }
  for (WORD i = 0; sacl != nullptr && i < sacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(sacl, i, &ace)) continue;
    const auto* mark = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    if (mark->Header.AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE &&
        EqualSid(const_cast<DWORD*>(&mark->SidStart), low))
      lowPolicy |= mark->Mask | 0x80000000u;
  }
  EXPECT_EQ(granted & (SYNCHRONIZE | MUTEX_MODIFY_STATE), SYNCHRONIZE | MUTEX_MODIFY_STATE);
  EXPECT_EQ(lowPolicy, 0x80000000u | SYSTEM_MANDATORY_LABEL_NO_WRITE_UP);
  FreeSid(everyone);
  FreeSid(low);
  LocalFree(access);
  LocalFree(label);
  CloseHandle(readable);
  CloseHandle(lock);
}

// A holder in another thread: the first attempt waits out its time, later
// ones only try until the lock is had again; a holder that ended leaves the
// lock to the next one.
TEST(DbgHelpLock, AStuckHolderCostsOneWaitNotOnePerLookup) {
  constexpr DWORD kWait = 2000;
  TDbgHelpLock lock(kWait);
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE letGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const auto holdUntilLetGo = [&] {
    HANDLE m = OpenDbgHelpMutex();
    WaitForSingleObject(m, INFINITE);
    SetEvent(held);
    WaitForSingleObject(letGo, INFINITE);
    ReleaseMutex(m);
    CloseHandle(m);
  };
  const auto timed = [&lock](HANDLE& got) {
    const DWORD start = GetTickCount();
    got = lock.Acquire();
    return GetTickCount() - start;
  };
  HANDLE got = nullptr;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ResetEvent(held);
    ResetEvent(letGo);
    std::thread holder(holdUntilLetGo);
    WaitForSingleObject(held, INFINITE);
    EXPECT_GE(timed(got), kWait - 100);
    EXPECT_EQ(got, nullptr);
    EXPECT_LT(timed(got), kWait / 2);
    EXPECT_EQ(got, nullptr);
    SetEvent(letGo);
    holder.join();
    got = lock.Acquire();  // had again: the next holder is waited for in full
    ASSERT_NE(got, nullptr);
    TDbgHelpLock::Release(got);
  }

  HANDLE keep = OpenDbgHelpMutex();  // keeps the object while its owner ends
  std::thread quitter([] {
    HANDLE m = OpenDbgHelpMutex();
    WaitForSingleObject(m, INFINITE);
    CloseHandle(m);
  });
  quitter.join();
  got = lock.Acquire();
  EXPECT_NE(got, nullptr);
  if (got != nullptr) TDbgHelpLock::Release(got);
  CloseHandle(keep);
  CloseHandle(held);
  CloseHandle(letGo);
}

}  // namespace
}  // namespace ostrel
