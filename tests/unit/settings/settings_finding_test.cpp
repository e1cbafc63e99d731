// Which module's settings a module, an address or a caller gets.
#include <gtest/gtest.h>

#include "tests/unit/settings/settings_test_support.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

std::vector<StreamProperty> Own(int delay) {
  return {MakeBoolProperty("NoSettings", false), MakeIntProperty("AutoDelay", delay)};
}

TEST(FindingSettings, ModuleWithOwnSettingsKeepsThem) {
  Process p;
  p.Module(kExe, Own(1));
  p.Module(kDll, Own(2));
  EXPECT_EQ(p.env.SettingsForModule(kDll)->OwnerModule(), kDll);
  EXPECT_EQ(p.env.SettingsForModule(0)->OwnerModule(), kExe);
}

TEST(FindingSettings, ModuleWithoutOwnSettingsIsRedirected) {
  Process p;
  p.Module(kExe, Own(1));
  p.Module(kDll, {MakeIntProperty("AutoDelay", 2)});  // NoSettings stays true
  EXPECT_EQ(p.env.SettingsForModule(kDll)->OwnerModule(), kExe);
  // A module without any resource keeps its own (invalid) object.
  auto none = p.env.SettingsForModule(kOther);
  EXPECT_EQ(none->OwnerModule(), kOther);
  EXPECT_FALSE(none->SettingsFound());
}

TEST(FindingSettings, FindSettingsModulePrefersOwnSettingsInAddressOrder) {
  Process p;
  p.platform.SetReporter(kOther);  // the reporter's module carries nothing
  p.Module(kExe, {MakeIntProperty("AutoDelay", 1)});
  p.Module(kDll, Own(2));
  EXPECT_EQ(p.env.FindSettingsModule()->OwnerModule(), kDll);

  Process q;
  q.platform.SetReporter(kOther);
  q.Module(kExe, {MakeIntProperty("AutoDelay", 1)});
  // Nothing with own settings: the first module with a resource.
  EXPECT_EQ(q.env.FindSettingsModule()->OwnerModule(), kExe);

  Process r;
  r.platform.SetReporter(kOther);
  EXPECT_FALSE(r.env.FindSettingsModule());
}

TEST(FindingSettings, AddressesMapToTheirModule) {
  Process p;
  p.platform.AddModule({kDll, 0x5000});
  p.Module(kExe, Own(1));
  p.Module(kDll, Own(2));
  EXPECT_EQ(p.env.SettingsForAddress(kDll + 0x1234)->OwnerModule(), kDll);
  // The reporter's own module, and addresses outside any module, fall back.
  EXPECT_EQ(p.env.SettingsForAddress(kExe + 0x10)->OwnerModule(), kExe);
  EXPECT_EQ(p.env.SettingsForAddress(0x7000)->OwnerModule(), kExe);
}

TEST(FindingSettings, CallerUsesTheModuleOfItsReturnAddress) {
  Process p;
  p.platform.AddModule({kDll, 0x5000});
  p.Module(kExe, Own(1));
  p.Module(kDll, Own(2));
  p.platform.SetCallerAddress(kDll + 0x20);
  EXPECT_EQ(p.env.SettingsForCaller(1)->OwnerModule(), kDll);
  p.platform.SetCallerAddress(0);
  EXPECT_EQ(p.env.SettingsForCaller(1)->OwnerModule(), kExe);
}

TEST(FindingSettings, RecordsAreSharedAndFreedWithTheLastObject) {
  Process p;
  p.Module(kExe, Own(1));
  {
    auto a = p.Make(kExe);
    auto b = p.Make(kExe);
    ASSERT_NE(p.platform.Block(), nullptr);
    ASSERT_NE(p.platform.Block()->head, nullptr);
    EXPECT_EQ(p.platform.Block()->head->refCount, 2);
    EXPECT_EQ(p.platform.Block()->head->next, nullptr);
  }
  EXPECT_EQ(p.platform.Block(), nullptr);
}

}  // namespace
}  // namespace ostrel
