#include <gtest/gtest.h>

#include "crash/flow/class_filter.h"
#include "crash/settings/exception_settings.h"
#include "tests/unit/settings/settings_test_support.h"

namespace app {
struct Exception {
  virtual ~Exception() = default;
};
struct EDatabaseError : Exception {};
struct EDBEditError : EDatabaseError {};
struct EDBEditErrorEx : EDBEditError {};
struct EConvertError : Exception {};
}  // namespace app

namespace ostrel {
namespace {

using namespace ostrel::testing;

struct Filter : ::testing::Test {
  Process p;
  ComPtr<IReporterModuleSettings> module;
  ComPtr<ISettingsLookup> lookup;

  // The filter keys as this program's resource sets them, and `more`.
  void Use(std::vector<StreamProperty> more = {}) {
    std::vector<StreamProperty> props{
        MakeBoolProperty("NoSettings", false), MakeTextProperty("F1Classes", u"EDBEditError"),
        MakeBoolProperty("F1NoBugRep", true),  MakeBoolProperty("F1NoScrShot", true),
        MakeBoolProperty("F1NoSuspend", true), MakeBoolProperty("F1NoHandlers", true),
        MakeIntProperty("F1ShowCfg", 3),       MakeIntProperty("ScrShotDepth", 8),
        MakeBoolProperty("PauseThreads", true)};
    props.insert(props.begin(), more.begin(), more.end());  // the first occurrence wins
    p.Module(kExe, props);
    module = p.MakeGlobal(kExe);
    lookup = module.As<ISettingsLookup>(kIidSettingsLookup);
    ASSERT_TRUE(lookup);
  }
  template <class T = void>
  ClassFilterResult For() {
    if constexpr (std::is_void_v<T>)
      return ApplyClassFilter(*lookup, nullptr);
    else
      return ApplyClassFilter(*lookup, &typeid(T));
  }
};

TEST_F(Filter, F1ClassAndDescendantsGetOnlyThePlainBox) {
  Use();
  for (const auto& r : {For<app::EDBEditError>(), For<app::EDBEditErrorEx>()}) {
    EXPECT_EQ(r.group, FilterGroup::F1);
    EXPECT_FALSE(r.createBugReport || r.createScreenshot || r.appendScreenshot || r.pauseThreads ||
                 r.callHandlers);
    EXPECT_EQ(r.show, ShowMode::Plain);
  }
  // Everything else, and an exception without an object, is in Gn.
  for (const auto& r : {For<app::EDatabaseError>(), For()}) {
    EXPECT_EQ(r.group, FilterGroup::Gn);
    EXPECT_TRUE(r.createBugReport && r.createScreenshot && r.appendScreenshot && r.pauseThreads &&
                r.callHandlers);
    EXPECT_EQ(r.show, ShowMode::Box);
  }
}

TEST_F(Filter, F1IsTriedBeforeF2) {
  Use({MakeTextProperty("F2Classes", u"EDatabaseError, EConvertError"),
       MakeIntProperty("F2ShowCfg", 1), MakeTextProperty("F2Assis", u"SaveAssistant")});
  EXPECT_EQ(For<app::EDBEditError>().group, FilterGroup::F1);
  const auto r = For<app::EConvertError>();
  EXPECT_EQ(r.group, FilterGroup::F2);
  EXPECT_EQ(r.show, ShowMode::Assistant);
  EXPECT_EQ(r.showAssistant, u"SaveAssistant");
}

TEST_F(Filter, ScreenshotPauseAndShowFollowTheirKeys) {
  Use({MakeIntProperty("ScrShotDepth", 0), MakeIntProperty("GnShowCfg", 260)});
  EXPECT_FALSE(For().createScreenshot);
  // 260 would wrap to "show nothing" in a byte; out of range shows the box.
  EXPECT_EQ(For().show, ShowMode::Box);
  module->SetGnShowCfg(static_cast<ShowMode>(-1));
  EXPECT_EQ(For().show, ShowMode::Box);
  module->SetGnShowCfg(ShowMode::Nothing);
  EXPECT_EQ(For().show, ShowMode::Nothing);
  module->SetGnNoSuspend(true);
  EXPECT_FALSE(For().pauseThreads);
}

TEST_F(Filter, BuiltInDefaultsWithoutFilterKeys) {
  p.Module(kExe, {MakeBoolProperty("NoSettings", false)});
  auto bare = p.MakeGlobal(kExe).As<ISettingsLookup>(kIidSettingsLookup);
  const auto d = ApplyClassFilter(*bare, &typeid(app::EDBEditError));
  EXPECT_EQ(d.group, FilterGroup::Gn);
  EXPECT_TRUE(d.createBugReport && d.callHandlers);
  EXPECT_FALSE(d.createScreenshot || d.pauseThreads);
  EXPECT_EQ(d.show, ShowMode::Box);
}

TEST_F(Filter, ReadsAnExceptionsOwnSettings) {
  Use();
  auto own = TExceptionSettings::Create(p.env, module, {}).As<ISettingsLookup>(kIidSettingsLookup);
  ASSERT_TRUE(own);
  EXPECT_EQ(ApplyClassFilter(*own, &typeid(app::EDBEditError)).show, ShowMode::Plain);
  static_cast<SettingsCore*>(own->ImplementingObject())->SetInt("F1ShowCfg", 0);
  EXPECT_EQ(ApplyClassFilter(*own, &typeid(app::EDBEditError)).show, ShowMode::Box);
  EXPECT_EQ(For<app::EDBEditError>().show, ShowMode::Plain);
}

}  // namespace
}  // namespace ostrel
