// The settings inside a real Windows process: the program's own resource,
// the named registry shared with a library that has its own reporter copy,
// and the Windows side of placeholders.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "crash/settings/exception_settings.h"
#include "crash/base/utf.h"
#include "crash/settings/win/kernel_object_security.h"
#include "crash/settings/win/process_settings.h"

namespace ostrel {
namespace {

using PluginFn = void (*)();
using BlockFn = void* (*)();
using DelayOfFn = int (*)(HMODULE);
using SetDelayOfFn = void (*)(HMODULE, int);
using IntFn = int (*)();
using TextFn = int (*)(wchar_t*, int);

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

class SettingsInProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    global_ = new ComPtr<IReporterModuleSettings>(InitGlobalSettings());
    plugin_ = LoadLibraryW(L"settings_plugin.dll");
    ASSERT_NE(plugin_, nullptr) << "settings_plugin.dll next to the test program";
    Fn<PluginFn>("PluginInit")();
  }
  static void TearDownTestSuite() {
    Fn<PluginFn>("PluginShutdown")();
    // The library stays loaded until the process ends.
    delete global_;
    ShutdownGlobalSettings();
  }
  template <class F>
  static F Fn(const char* name) {
    auto f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(plugin_, name)));
    EXPECT_NE(f, nullptr) << name;
    return f;
  }
  static ModuleHandle Exe() { return reinterpret_cast<ModuleHandle>(GetModuleHandleW(nullptr)); }

  static HMODULE plugin_;
  static ComPtr<IReporterModuleSettings>* global_;
};

HMODULE SettingsInProcess::plugin_ = nullptr;
ComPtr<IReporterModuleSettings>* SettingsInProcess::global_ = nullptr;

TEST_F(SettingsInProcess, ProgramReadsItsEmbeddedResource) {
  auto& g = *global_;
  ASSERT_TRUE(g);
  EXPECT_EQ(g->OwnerModule(), Exe());
  EXPECT_TRUE(g->SettingsFound());
  EXPECT_TRUE(g->Enabled());
  EXPECT_TRUE(g->HasOwnSettings());
  EXPECT_EQ(g->SmtpPort(), 25);
  EXPECT_EQ(g->HttpPort(), 80);
  EXPECT_EQ(g->FreezeTimeout(), 60000);
  EXPECT_EQ(g->F1ShowCfg(), ShowMode::Plain);
  EXPECT_FALSE(g->AutoClip());
  EXPECT_EQ(g->AutoDelay(), 60);
  std::u16string text;
  g->MailAddr(text);
  EXPECT_EQ(text, u"support@pelmora.example");
  g->F1Classes(text);
  EXPECT_EQ(text, u"EDBEditError");
  g->TitleBar(text);
  EXPECT_EQ(text, u"settings_wine_tests.exe");
  AssistantDefinition def;
  ASSERT_TRUE(g->FindAssistant(u"SendAssistant", def));
  EXPECT_EQ(def.pages.size(), 3u);
}

TEST_F(SettingsInProcess, RegistryIsNamedByProcessIdAndSharedWithTheLibrary) {
  const DWORD pid = GetCurrentProcessId();
  wchar_t expected[64];
  wsprintfW(expected, L"OstrelSettingsBuf2$%X", pid);
  EXPECT_EQ(SettingsBufferName(pid), expected);
  wsprintfW(expected, L"OstrelSettingsMtx$%X", pid);
  EXPECT_EQ(SettingsMutexName(pid), expected);

  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, SettingsBufferName(pid).c_str());
  ASSERT_NE(mapping, nullptr);
  auto* slot = static_cast<void**>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(void*)));
  ASSERT_NE(slot, nullptr);
  void* block = *slot;
  UnmapViewOfFile(slot);
  CloseHandle(mapping);
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(Fn<BlockFn>("PluginRegistryBlock")(), block);
}

TEST_F(SettingsInProcess, NamedObjectsGrantAllRightsToEveryoneSystemAndUser) {
  KernelObjectSecurity security;
  ASSERT_TRUE(security.HasAccessList());
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorDacl(security.Attributes()->lpSecurityDescriptor, &present,
                                        &dacl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(dacl, nullptr);
  EXPECT_EQ(dacl->AceCount, 3);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Mask, static_cast<DWORD>(GENERIC_ALL));
  }
}

TEST_F(SettingsInProcess, LibraryKeepsItsOwnSettingsAndFallsBackToNothingElse) {
  EXPECT_EQ(Fn<IntFn>("PluginGlobalAutoDelay")(), 33);
  // The program's copy reads the library's record, parsed once for the process.
  auto lib = SettingsForModule(reinterpret_cast<ModuleHandle>(plugin_));
  EXPECT_EQ(lib->OwnerModule(), reinterpret_cast<ModuleHandle>(plugin_));
  EXPECT_EQ(lib->AutoDelay(), 33);
  // The library's texts name the library.
  wchar_t subj[128];
  Fn<TextFn>("PluginMailSubject")(subj, 128);
  EXPECT_STREQ(subj, L"plugin mail from settings_plugin.dll");
  auto byAddress =
      SettingsForAddress(reinterpret_cast<std::uintptr_t>(GetProcAddress(plugin_, "PluginInit")));
  EXPECT_EQ(byAddress->OwnerModule(), reinterpret_cast<ModuleHandle>(plugin_));
}

TEST_F(SettingsInProcess, ModuleSetterReachesEveryCopyExceptionSetterNone) {
  auto& g = *global_;
  auto limitOf = Fn<DelayOfFn>("PluginLimitDisAsmOf");
  HMODULE exe = GetModuleHandleW(nullptr);
  EXPECT_EQ(g->LimitDisAsm(), 5);
  EXPECT_EQ(limitOf(exe), 5);

  auto ex = TExceptionSettings::Create(ProcessSettings(), g, {u"EAbort", u"stop"});
  ex->SetLimitDisAsm(9);
  EXPECT_EQ(ex->LimitDisAsm(), 9);
  EXPECT_EQ(g->LimitDisAsm(), 5);
  EXPECT_EQ(limitOf(exe), 5);

  g->SetLimitDisAsm(7);
  EXPECT_EQ(limitOf(exe), 7);
  Fn<SetDelayOfFn>("PluginSetLimitDisAsmOf")(exe, 8);
  EXPECT_EQ(g->LimitDisAsm(), 8);
  EXPECT_EQ(ex->LimitDisAsm(), 9);
  g->ReparseSettings();
  EXPECT_EQ(limitOf(exe), 5);
}

TEST_F(SettingsInProcess, KeyTheProgramLeavesOutComesFromEachCopysGlobalSettings) {
  HMODULE exe = GetModuleHandleW(nullptr);
  // The program's copy: its GlobalSettings is the program, so the default.
  EXPECT_EQ((*global_)->AutoDelay(), 60);
  // The library's copy falls back to its own GlobalSettings, the library.
  EXPECT_EQ(Fn<DelayOfFn>("PluginAutoDelayOf")(exe), 33);
}

TEST_F(SettingsInProcess, PlaceholdersFromTheSystem) {
  const std::string text = Narrow(ExpandPlaceholders(
      0, u"%appname%|%modname%|%date%|%time%|%computerName%|%desktop%|%os%|%appversion%", u"", u"",
      u"", u""));
  const std::regex shape(
      "settings_wine_tests\\.exe\\|settings_wine_tests\\.exe\\|\\d{4}-\\d\\d-\\d\\d\\|"
      "\\d\\d:\\d\\d:\\d\\d, \\d{1,3}ms\\|[^|]+\\|[^|]*[^\\\\|]\\|Windows [^|]+ build "
      "\\d+.*\\|\\?");
  EXPECT_TRUE(std::regex_match(text, shape)) << text;
  EXPECT_EQ(Narrow(ExpandPlaceholders(reinterpret_cast<ModuleHandle>(plugin_), u"%modname%", u"",
                                      u"", u"", u"")),
            "settings_plugin.dll");
}

}  // namespace
}  // namespace ostrel
