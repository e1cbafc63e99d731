#include "crash/report/compose/plugin_registry.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ostrel {
namespace {

ReportPlugin Text(const char16_t* name, const char16_t* text, bool own = true) {
  ReportPlugin p;
  p.name = name;
  p.text = [text] { return std::u16string(text); };
  p.ownSection = own;
  return p;
}

TEST(ReportPlugins, FoundByNameWithoutCaseFirstRegisteredWinsRemovedByExactName) {
  TReportPlugins registry;
  registry.Add(Text(u"modules", u"first"));
  registry.Add(Text(u"Modules", u"second"));
  registry.Add(Text(u"hardware", u"devices", false));
  ASSERT_TRUE(registry.Find(u"MODULES"));
  EXPECT_EQ(CallReportPlugin(*registry.Find(u"MODULES"), nullptr), u"first");
  EXPECT_FALSE(registry.Find(u"hardware")->ownSection);
  EXPECT_FALSE(registry.Find(u"processes"));
  EXPECT_FALSE(registry.Remove(u"MODULES"));  // exact name only
  EXPECT_TRUE(registry.Remove(u"modules"));
  EXPECT_EQ(CallReportPlugin(*registry.Find(u"modules"), nullptr), u"second");
  EXPECT_EQ(registry.Count(), 2u);
}

TEST(ReportPlugins, CallbacksArePreferredInTheirOrderAndBytesReadAsLatin1) {
  int report = 0;
  ReportPlugin p;
  p.textForReport = [&](void* r) { return r == &report ? u"for report" : u"other"; };
  EXPECT_EQ(CallReportPlugin(p, &report), u"for report");
  p.bytesForReport = [](void*) { return std::string("bytes for report"); };
  EXPECT_EQ(CallReportPlugin(p, &report), u"bytes for report");
  p.text = [] { return std::u16string(u"text"); };
  EXPECT_EQ(CallReportPlugin(p, &report), u"text");
  p.bytes = [] { return std::string("caf\xe9"); };
  EXPECT_EQ(CallReportPlugin(p, &report), u"caf\u00e9");
  EXPECT_THROW(CallReportPlugin(ReportPlugin{}, nullptr), std::invalid_argument);
}

TEST(ReportPlugins, NamesOfTheSettingSplitAtBars) {
  EXPECT_EQ(PluginNames(u"modules|processes|hardware"),
            (std::vector<std::u16string>{u"modules", u"processes", u"hardware"}));
  EXPECT_EQ(PluginNames(u"|a||b|"), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_TRUE(PluginNames(u"").empty());
}

TEST(ReportPlugins, HeaderFieldsComeFromPluginsWithoutASectionInTheSettingsOrder) {
  TReportPlugins registry;
  registry.Add(Text(u"modules", u"module list"));
  registry.Add(Text(u"Licence", u"Site 42", false));
  ReportPlugin broken = Text(u"database", u"", false);
  broken.text = []() -> std::u16string { throw std::runtime_error("no database"); };
  registry.Add(broken);
  registry.Add(Text(u"build", u"77", false));
  int report = 0;
  ReportPlugin own;
  own.name = u"user";
  own.textForReport = [&](void* r) { return r == &report ? u"for this report" : u"other"; };
  own.ownSection = false;
  registry.Add(own);

  using Fields = std::vector<std::pair<std::u16string, std::u16string>>;
  EXPECT_EQ(PluginHeaderFields(registry, u"build|modules|DATABASE|licence|missing|user", &report),
            (Fields{{u"build", u"77"}, {u"Licence", u"Site 42"}, {u"user", u"for this report"}}));
  EXPECT_TRUE(PluginHeaderFields(registry, u"", &report).empty());
}

}  // namespace
}  // namespace ostrel
