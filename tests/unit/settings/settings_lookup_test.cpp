#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "crash/settings/defaults_table.h"
#include "crash/settings/exception_settings.h"
#include "crash/settings/password_cipher.h"
#include "tests/unit/settings/settings_test_support.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

TEST(DefaultsTable, HoldsEveryCatalogueKeyOnce) {
  const auto table = DefaultSettingsTable();
  EXPECT_EQ(table.size(), 139u);
  std::set<std::string> names;
  for (const auto& d : table) names.insert(d.name);
  EXPECT_EQ(names.size(), 139u);
  EXPECT_EQ(names.count("MinDebugInfo"), 0u);
  EXPECT_EQ(names.count("Assistant1"), 0u);
  EXPECT_STREQ(FindDefaultSetting("BugRepFile")->text, "bugreport.obr");
  EXPECT_EQ(FindDefaultSetting("BugRepFileSize")->integer, 100000);
  EXPECT_STREQ(FindDefaultSetting("PrepAttMsg")->text, "Prepare attachments...");
}

TEST(SettingsLookup, BuiltInDefaultsWhenTheResourceLeavesKeysOut) {
  Process p;
  p.Module(kExe, {MakeBoolProperty("NoSettings", false)});
  auto s = p.MakeGlobal(kExe);
  EXPECT_EQ(s->AutoDelay(), 60);
  EXPECT_TRUE(s->AutoSave());
  EXPECT_EQ(s->DupFreezeDef(), 2);
  // A boolean-kind default carrying an integer reads as that integer.
  EXPECT_EQ(s->DupExceptDef(), 1);
  EXPECT_EQ(Text(*s, &IReporterSettings::BugRepSendAs), u"bugreport.obr");
  EXPECT_EQ(Text(*s, &IReporterSettings::BugTrDescr), u"error details: \r\n%errorDetails%");
}

TEST(SettingsLookup, FirstOccurrenceWinsAndAnyKindIsReadAsAsked) {
  Process p;
  p.Module(kExe, {MakeIntProperty("SmtpPort", 25), MakeIntProperty("SmtpPort", 0),
                  MakeIntProperty("AutoSave", 1)});
  auto s = p.MakeGlobal(kExe);
  EXPECT_EQ(s->SmtpPort(), 25);
  // The boolean byte of an integer-kind property: whatever kind it has.
  EXPECT_FALSE(s->AutoSave());
}

TEST(SettingsLookup, ModuleWithoutValueAsksGlobalSettingsNotTheDefaults) {
  Process p;
  p.Module(kExe,
           {MakeIntProperty("AutoDelay", 17), MakeTextProperty("MailSubj", u"crash in %modname%")});
  p.Module(kDll, {MakeBoolProperty("NoSettings", false), MakeIntProperty("LimitDisAsm", 9)});
  p.MakeGlobal(kExe);
  auto dll = p.Make(kDll);
  EXPECT_EQ(dll->LimitDisAsm(), 9);
  EXPECT_EQ(dll->AutoDelay(), 17);
  // Keys nobody sets still come from the defaults, through GlobalSettings.
  EXPECT_EQ(dll->BugRepFileSize(), 100000);
  // GlobalSettings expands the text for its own module.
  EXPECT_EQ(Text(*dll, &IReporterSettings::MailSubj), u"crash in Pelmora.exe");
}

TEST(SettingsLookup, ObjectOfGlobalSettingsModuleUsesDefaults) {
  Process p;
  p.Module(kExe, {});
  auto g = p.MakeGlobal(kExe);
  auto again = p.Make(kExe);
  EXPECT_EQ(again->AutoDelay(), 60);
}

TEST(SettingsLookup, ModuleWithoutResourceIsNotValidAndIgnoresSetters) {
  Process p;
  p.Module(kExe, {MakeIntProperty("AutoDelay", 17)});
  p.MakeGlobal(kExe);
  auto none = p.Make(kOther);
  EXPECT_FALSE(none->SettingsFound());
  EXPECT_EQ(none->AutoDelay(), 17);
  none->SetAutoDelay(3);
  EXPECT_EQ(none->AutoDelay(), 17);
}

TEST(SettingsLookup, BadHeaderCountsAsNoResource) {
  Process p;
  p.platform.SetResource(kExe, {'T', 'P', 'F', '1', 0});
  auto s = p.MakeGlobal(kExe);
  EXPECT_FALSE(s->SettingsFound());
  EXPECT_TRUE(p.platform.Messages().empty());
}

TEST(SettingsLookup, UnknownTypeShowsTheMessageAndKeepsWhatWasRead) {
  Process p;
  auto bytes = Stream({MakeIntProperty("AutoDelay", 5), MakeBoolProperty("AutoSend", true)});
  bytes[bytes.size() - 2] = 0x0E;  // AutoSend's type byte
  p.platform.SetResource(kExe, bytes);
  auto s = p.MakeGlobal(kExe);
  EXPECT_TRUE(s->SettingsFound());
  EXPECT_EQ(s->AutoDelay(), 5);
  EXPECT_FALSE(s->AutoSend());
  ASSERT_EQ(p.platform.Messages().size(), 1u);
  EXPECT_EQ(p.platform.Messages()[0], u"Internal error: Invalid settings resource ($0E).");
  // Parsed once per process: a second object shows nothing more.
  auto again = p.Make(kExe);
  EXPECT_EQ(p.platform.Messages().size(), 1u);
}

TEST(SettingsLookup, RegistryThatCannotBeOpenedLeavesEveryObjectInvalid) {
  Process p;
  p.Module(kExe, {MakeIntProperty("AutoDelay", 5)});
  p.platform.FailRegistry(true);
  auto s = p.Make(kExe);
  EXPECT_FALSE(s->SettingsFound());
  EXPECT_EQ(s->AutoDelay(), 60);
  ASSERT_EQ(p.platform.Messages().size(), 1u);
  EXPECT_EQ(p.platform.Messages()[0], u"internal error (opening settings buffer)");
}

TEST(SettingsLookup, SettersWriteOnlyMatchingKindsAndAppendMissingKeys) {
  Process p;
  p.Module(kExe, {MakeBoolProperty("AutoSave", true)});
  auto s = p.MakeGlobal(kExe);
  s->SetAutoDelay(9);  // not in the resource: appended
  EXPECT_EQ(s->AutoDelay(), 9);
  auto* core = CoreOf(s.Get());
  core->SetInt("AutoSave", 7);  // integer into a boolean property: ignored
  EXPECT_TRUE(s->AutoSave());
  s->SetMailAddr(u"a\u20ACb@x");
  EXPECT_EQ(Text(*s, &IReporterSettings::MailAddr), u"a\u20ACb@x");
  s->SetMailAddr(u"");
  EXPECT_EQ(Text(*s, &IReporterSettings::MailAddr), u"");
  s->SetSmtpServer("mail.example");
  std::string server;
  s->SmtpServer(server);
  EXPECT_EQ(server, "mail.example");
}

TEST(SettingsLookup, ModuleSetterIsSeenByEveryReaderOfTheProcess) {
  Process p;
  p.Module(kExe, {MakeIntProperty("AutoDelay", 5)});
  auto a = p.MakeGlobal(kExe);
  auto b = p.Make(kExe);
  auto ex = TExceptionSettings::Create(p.env, b, {});
  a->SetAutoDelay(44);
  EXPECT_EQ(b->AutoDelay(), 44);
  EXPECT_EQ(ex->AutoDelay(), 44);
}

TEST(SettingsLookup, ExceptionSetterChangesThatExceptionOnly) {
  Process p;
  p.Module(kExe, {MakeIntProperty("AutoDelay", 5), MakeTextProperty("MailSubj", u"subj")});
  auto module = p.MakeGlobal(kExe);
  auto first = TExceptionSettings::Create(p.env, module, {});
  auto second = TExceptionSettings::Create(p.env, module, {});
  first->SetAutoDelay(1);
  first->SetMailSubj(u"only mine");
  first->SetUglyBtns(true);  // a key the resource leaves out
  EXPECT_EQ(first->AutoDelay(), 1);
  EXPECT_EQ(Text(*first, &IReporterSettings::MailSubj), u"only mine");
  EXPECT_TRUE(first->UglyBtns());
  EXPECT_EQ(second->AutoDelay(), 5);
  EXPECT_EQ(module->AutoDelay(), 5);
  EXPECT_FALSE(module->UglyBtns());
  EXPECT_EQ(Text(*module, &IReporterSettings::MailSubj), u"subj");
  EXPECT_EQ(Text(*second, &IReporterSettings::MailSubj), u"subj");
}

TEST(SettingsLookup, ExceptionReadsItsModuleThenDefaults) {
  Process p;
  p.Module(kExe, {MakeIntProperty("AutoDelay", 17)});
  p.Module(kDll, {MakeBoolProperty("NoSettings", false), MakeIntProperty("LimitDisAsm", 9)});
  p.MakeGlobal(kExe);
  auto ex = TExceptionSettings::Create(p.env, p.Make(kDll), {});
  EXPECT_EQ(ex->OwnerModule(), kDll);
  EXPECT_EQ(ex->LimitDisAsm(), 9);
  // An exception object never asks GlobalSettings.
  EXPECT_EQ(ex->AutoDelay(), 60);
}

TEST(SettingsLookup, TextsAreExpandedExceptFrozenMsg) {
  Process p;
  p.Module(kExe, {MakeTextProperty("FrozenMsg", u"%appname% froze: %exceptMsg%"),
                  MakeTextProperty("ExceptMsg", u"%appname%: %exceptMsg% (%exceptClass%)")});
  auto module = p.MakeGlobal(kExe);
  EXPECT_EQ(Text(*module, &IReporterSettings::FrozenMsg), u"%appname% froze: %exceptMsg%");
  // Exception placeholders survive a module object for later expansion.
  EXPECT_EQ(Text(*module, &IReporterSettings::ExceptMsg),
            u"Pelmora.exe: %exceptMsg% (%exceptClass%)");
  auto ex = TExceptionSettings::Create(p.env, module, {u"EAccessViolation", u"", u"details"});
  EXPECT_EQ(Text(*ex, &IReporterSettings::ExceptMsg), u"Pelmora.exe: Unknown. (EAccessViolation)");
  auto withMsg = TExceptionSettings::Create(p.env, module, {u"EAbort", u"stop", u""});
  EXPECT_EQ(Text(*withMsg, &IReporterSettings::ExceptMsg), u"Pelmora.exe: stop (EAbort)");
  EXPECT_EQ(Text(*withMsg, &IReporterSettings::BugTrDescr), u"error details: \r\n");
  auto noSections = TExceptionSettings::Create(p.env, module, {u"E", u"m"});
  EXPECT_EQ(Text(*noSections, &IReporterSettings::BugTrDescr),
            u"error details: \r\n%errorDetails%");
}

TEST(SettingsLookup, PasswordsAreDecipheredWhenParsed) {
  Process p;
  const std::u16string stored = EncipherPassword(u"s3cret", u"ann", u"smtp.example");
  ASSERT_NE(stored, u"s3cret");
  p.Module(kExe, {MakeTextProperty("SmtpAccount", u"ann"),
                  MakeTextProperty("SmtpServer", u"smtp.example"),
                  MakeTextProperty("SmtpPassword", stored), MakeTextProperty("HttpPassword", u""),
                  MakeTextProperty("BugTrPassword", u"not enciphered!")});
  auto s = p.MakeGlobal(kExe);
  EXPECT_EQ(Text(*s, &IReporterSettings::SmtpPassword), u"s3cret");
  EXPECT_EQ(Text(*s, &IReporterSettings::HttpPassword), u"");
  EXPECT_EQ(Text(*s, &IReporterSettings::BugTrPassword), u"not enciphered!");
  // A different key does not give the password back.
  EXPECT_NE(DecipherPassword(stored, u"bob", u"smtp.example"), std::u16string(u"s3cret"));
}

TEST(SettingsLookup, ReparseDropsChangesAndReadsTheResourceAgain) {
  Process p;
  p.Module(kExe, {MakeIntProperty("AutoDelay", 5)});
  auto s = p.MakeGlobal(kExe);
  s->SetAutoDelay(30);
  s->SetUglyBtns(true);
  s->ReparseSettings();
  EXPECT_EQ(s->AutoDelay(), 5);
  EXPECT_FALSE(s->UglyBtns());
  p.Module(kExe, {MakeIntProperty("AutoDelay", 6)});
  s->ReparseSettings();
  EXPECT_EQ(s->AutoDelay(), 6);
}

TEST(SettingsLookup, ModuleFlagsAndVersionText) {
  Process p;
  p.platform.AddModule({kDll, 0x1000, false, {}, {{0x40, "2.5 beta"}}});
  p.Module(kDll, {MakeBoolProperty("Enabled", true), MakeBoolProperty("NoSettings", false),
                  MakeBoolProperty("CrashOnBuffer", true), MakeIntProperty("VersionVar", 0x40),
                  MakeTextProperty("MinDebugInfo", u"x")});
  auto s = p.MakeGlobal(kDll);
  EXPECT_TRUE(s->Enabled());
  EXPECT_TRUE(s->HasOwnSettings());
  EXPECT_FALSE(s->MinDebugInfoMissing());
  EXPECT_TRUE(s->CheckOverruns());
  EXPECT_FALSE(s->CheckUnderruns());
  std::u16string v;
  s->VersionText(v);
  EXPECT_EQ(v, u"2.5 beta");
  auto ex = TExceptionSettings::Create(p.env, s, {});
  ex->VersionText(v);
  EXPECT_EQ(v, u"2.5 beta");
}

TEST(SettingsLookup, ThreadsReadWhileOthersReplaceTextsAndGrowTheList) {
  Process p;
  p.Module(kExe, {MakeTextProperty("MailSubj", u"start")});
  auto s = p.MakeGlobal(kExe);
  SettingsCore* core = CoreOf(s.Get());
  const std::u16string values[] = {u"start", u"short", u"a longer subject \u20AC with more"};
  std::atomic<bool> bad{false};
  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w)
    threads.emplace_back([&, w] {
      for (int i = 0; i < 3000; ++i) s->SetMailSubj(values[1 + w]);
    });
  // New keys make the property array grow under the readers.
  threads.emplace_back([&] {
    for (int i = 0; i < 300; ++i) core->SetInt(("Extra" + std::to_string(i)).c_str(), i);
  });
  for (int r = 0; r < 2; ++r)
    threads.emplace_back([&] {
      for (int i = 0; i < 3000; ++i) {
        std::u16string t;
        s->MailSubj(t);
        if (t != values[0] && t != values[1] && t != values[2]) bad = true;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_FALSE(bad);
  EXPECT_EQ(core->GetInt("Extra299"), 299);
}

TEST(SettingsLookup, InterfacesAnswerTheirIdentifiers) {
  Process p;
  p.Module(kExe, {});
  auto s = p.MakeGlobal(kExe);
  EXPECT_TRUE(s.As<IReporterSettings>(kIidReporterSettings));
  EXPECT_TRUE(s.As<ISettingsLookup>(kIidSettingsLookup));
  const Guid unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_FALSE(s.As<IUnknownBase>(unknown));
  auto ex = TExceptionSettings::Create(p.env, s, {});
  EXPECT_FALSE(ex.As<IReporterModuleSettings>(kIidReporterModuleSettings));
  auto lookup = ex.As<ISettingsLookup>(kIidSettingsLookup);
  ASSERT_TRUE(lookup);
  EXPECT_EQ(lookup->LookupInt("AutoDelay"), 60);
}

}  // namespace
}  // namespace ostrel
