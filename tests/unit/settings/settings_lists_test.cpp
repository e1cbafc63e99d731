#include "crash/settings/settings_lists.h"

#include <gtest/gtest.h>

#include "crash/settings/exception_settings.h"
#include "tests/unit/settings/settings_test_support.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

TEST(PluginList, AddingAndRemovingFollowTheBarRules) {
  EXPECT_EQ(PluginListWith(u"", u"modules", true), u"modules");
  EXPECT_EQ(PluginListWith(u"modules", u"hardware", true), u"modules|hardware");
  EXPECT_EQ(PluginListWith(u"modules|processes|hardware", u"processes", false),
            u"modules|hardware");
  EXPECT_EQ(PluginListWith(u"modules|processes|hardware", u"modules", false),
            u"processes|hardware");
  EXPECT_EQ(PluginListWith(u"modules", u"modules", false), u"");
  EXPECT_EQ(PluginListWith(u"modules", u"modules", true), u"modules");
  // Only whole names count.
  EXPECT_FALSE(PluginListContains(u"modules|processes", u"process"));
}

TEST(PluginList, SettingsObjectChangesItsPluginsKey) {
  Process p;
  p.Module(kExe, {});
  auto s = p.MakeGlobal(kExe);
  EXPECT_TRUE(s->PluginEnabled(u"processes"));
  s->SetPluginEnabled(u"processes", false);
  EXPECT_FALSE(s->PluginEnabled(u"processes"));
  EXPECT_EQ(CoreOf(s.Get())->GetText("Plugins"), u"modules|hardware");
  s->SetPluginEnabled(u"processes", true);
  EXPECT_EQ(CoreOf(s.Get())->GetText("Plugins"), u"modules|hardware|processes");
}

TEST(FieldList, ParsesAndWritesBackToAddFields) {
  Process p;
  p.Module(kExe, {MakeTextProperty("AddFields", u"build=77|branch=main|flag")});
  auto s = p.MakeGlobal(kExe);
  SettingsFieldList* fields = s->AdditionalFields();
  ASSERT_EQ(fields, s->AdditionalFields());
  EXPECT_EQ(fields->Fields(),
            (std::vector<NameValue>{{u"build", u"77"}, {u"branch", u"main"}, {u"flag", u""}}));
  fields->Set(u"build", u"78");
  fields->Set(u"user", u"ann=b");
  EXPECT_EQ(CoreOf(s.Get())->GetText("AddFields"), u"build=78|branch=main|flag=|user=ann=b");
  fields->Remove(u"branch");
  EXPECT_EQ(CoreOf(s.Get())->GetText("AddFields"), u"build=78|flag=|user=ann=b");
}

TEST(AttachmentList, EntriesHaveUpToFourParts) {
  const auto list = ParseAttachmentList(u"C:\\a.log>a.txt>logs.zip>Log|b.dat||c.ini>c.txt");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].file, u"C:\\a.log");
  EXPECT_EQ(list[0].sendAs, u"a.txt");
  EXPECT_EQ(list[0].zip, u"logs.zip");
  EXPECT_EQ(list[0].field, u"Log");
  EXPECT_EQ(list[1].file, u"b.dat");
  EXPECT_EQ(list[1].sendAs, u"");
  EXPECT_EQ(list[2].sendAs, u"c.txt");
}

std::vector<StreamProperty> Assistants(int depth) {
  return {MakeIntProperty("ScrShotDepth", depth),
          MakeTextProperty("Assistant1",
                           u"SendAssistant|Send Assistant|ContactForm|DetailsForm|ScrShotForm"),
          MakeTextProperty("Assistant2", u"SaveAssistant|Save Assistant|ContactForm|DetailsForm"),
          MakeTextProperty("Assistant4", u"Hidden|Behind a gap|ContactForm")};
}

TEST(FindAssistant, FindsByNameWithoutRegardToCaseUntilTheFirstGap) {
  Process p;
  p.Module(kExe, Assistants(8));
  auto s = p.MakeGlobal(kExe);
  AssistantDefinition def;
  ASSERT_TRUE(s->FindAssistant(u"sendassistant", def));
  EXPECT_EQ(def.title, u"Send Assistant");
  EXPECT_EQ(def.pages,
            (std::vector<std::u16string>{u"ContactForm", u"DetailsForm", u"ScrShotForm"}));
  EXPECT_EQ(def.module, kExe);
  EXPECT_FALSE(def.forException);
  ASSERT_TRUE(s->FindAssistant(u"SaveAssistant", def));
  EXPECT_EQ(def.pages.size(), 2u);
  EXPECT_FALSE(s->FindAssistant(u"Hidden", def));
  EXPECT_FALSE(s->FindAssistant(u"Nothing", def));
}

TEST(FindAssistant, NoScreenshotPageWithoutScreenshot) {
  Process p;
  p.Module(kExe, Assistants(0));
  auto s = p.MakeGlobal(kExe);
  AssistantDefinition def;
  ASSERT_TRUE(s->FindAssistant(u"SendAssistant", def));
  EXPECT_EQ(def.pages, (std::vector<std::u16string>{u"ContactForm", u"DetailsForm"}));

  Process q;
  q.Module(kExe, Assistants(8));
  auto module = q.MakeGlobal(kExe);
  TExceptionSettings::Exception noShot;
  noShot.screenshot = false;
  auto ex = TExceptionSettings::Create(q.env, module, noShot);
  ASSERT_TRUE(ex->FindAssistant(u"SendAssistant", def));
  EXPECT_TRUE(def.forException);
  EXPECT_EQ(def.pages.size(), 2u);
}

// Two pages of inputs as the page engine would show them.
class FakeAssistant : public IAssistantForms {
 public:
  struct Input {
    std::u16string name;
    bool checkBox;
    std::u16string text;
    bool checked;
  };
  std::vector<std::vector<Input>> pages;
  std::vector<bool> continued, continueEnabled, focused;

  int PageCount() override { return static_cast<int>(pages.size()); }
  bool PageEndedWithContinue(int p) override { return continued[p]; }
  int InputCount(int p) override { return static_cast<int>(pages[p].size()); }
  std::u16string InputName(int p, int i) override { return pages[p][i].name; }
  bool InputIsCheckBox(int p, int i) override { return pages[p][i].checkBox; }
  std::u16string InputText(int p, int i) override { return pages[p][i].text; }
  void SetInputText(int p, int i, const std::u16string& t) override { pages[p][i].text = t; }
  bool InputChecked(int p, int i) override { return pages[p][i].checked; }
  void SetInputChecked(int p, int i, bool c) override { pages[p][i].checked = c; }
  bool ContinueEnabled(int p) override { return continueEnabled[p]; }
  void FocusContinue(int p) override { focused[p] = true; }
};

TEST(AssistantValues, CachedFromContinuedPagesAndRestored) {
  Process p;
  p.Module(kExe, {});
  auto s = p.MakeGlobal(kExe);
  auto lookup = s.As<ISettingsLookup>(kIidSettingsLookup);
  FakeAssistant shown;
  shown.pages = {{{u"Name", false, u"Ann", false}, {u"Remember", true, u"", true}},
                 {{u"Details", false, u"clicked save", false}}};
  shown.continued = {true, false};
  lookup->CacheAssistantValues(shown);

  FakeAssistant next;
  next.pages = {{{u"Name", false, u"", false}, {u"Remember", true, u"", false}},
                {{u"Details", false, u"", false}},
                {{u"Name", false, u"", false}, {u"Mail", false, u"", false}}};
  next.continueEnabled = {true, true, true};
  next.focused = {false, false, false};
  lookup->RestoreAssistantValues(next);
  EXPECT_EQ(next.pages[0][0].text, u"Ann");
  EXPECT_TRUE(next.pages[0][1].checked);
  // The page that ended with Back was not remembered.
  EXPECT_EQ(next.pages[1][0].text, u"");
  EXPECT_EQ(next.pages[2][0].text, u"Ann");
  // Focus moves on only where every input was restored.
  EXPECT_EQ(next.focused, (std::vector<bool>{true, false, false}));
}

}  // namespace
TEST(AssistantValues, OneExceptionsValuesReachTheNext) {
  // The cache belongs to the program's settings, not to one exception's.
  Process p;
  p.Module(kExe, {});
  auto module = p.MakeGlobal(kExe);
  auto first =
      TExceptionSettings::Create(p.env, module, {}).As<ISettingsLookup>(kIidSettingsLookup);
  FakeAssistant shown;
  shown.pages = {{{u"Name", false, u"Ann", false}}};
  shown.continued = {true};
  first->CacheAssistantValues(shown);

  auto second =
      TExceptionSettings::Create(p.env, module, {}).As<ISettingsLookup>(kIidSettingsLookup);
  FakeAssistant next;
  next.pages = {{{u"Name", false, u"", false}}};
  next.continueEnabled = {true};
  next.focused = {false};
  second->RestoreAssistantValues(next);
  EXPECT_EQ(next.pages[0][0].text, u"Ann");
  EXPECT_TRUE(next.focused[0]);
}

}  // namespace ostrel
