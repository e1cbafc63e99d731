#include "crash/ui/assistant/assistant_values.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ostrel::assistant {
namespace {

// Names and contents in order; SetField replaces in place or appends.
class FakeFields final : public IReportFields {
 public:
  std::vector<std::pair<std::u16string, std::u16string>> entries;

  HResult OSTREL_CALL QueryInterface(const Guid&, void**) override { return kNoInterface; }
  std::uint32_t OSTREL_CALL AddRef() override { return 1; }
  std::uint32_t OSTREL_CALL Release() override { return 1; }
  void OSTREL_CALL LockFields() override {}
  void OSTREL_CALL UnlockFields() override {}
  std::int32_t OSTREL_CALL FieldCount() override { return static_cast<int>(entries.size()); }
  void OSTREL_CALL FieldName(std::int32_t i, std::u16string& out) override {
    out = entries[static_cast<std::size_t>(i)].first;
  }
  void OSTREL_CALL RenameField(std::int32_t, const std::u16string&) override {}
  std::int32_t OSTREL_CALL IndexOfField(const std::u16string& name) override {
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i].first == name) return static_cast<int>(i);
    return -1;
  }
  void OSTREL_CALL FieldContents(const std::u16string& name, std::u16string& out) override {
    const int i = IndexOfField(name);
    out = i < 0 ? u"" : entries[static_cast<std::size_t>(i)].second;
  }
  void OSTREL_CALL SetField(const std::u16string& name, const std::u16string& contents) override {
    const int i = IndexOfField(name);
    if (i >= 0)
      entries[static_cast<std::size_t>(i)].second = contents;
    else
      entries.emplace_back(name, contents);
  }
  void OSTREL_CALL AddField(const std::u16string& n, const std::u16string& c) override {
    entries.emplace_back(n, c);
  }
  void OSTREL_CALL InsertField(std::int32_t, const std::u16string&,
                               const std::u16string&) override {}
  void OSTREL_CALL DeleteField(std::int32_t) override {}
  void OSTREL_CALL RemoveField(const std::u16string&) override {}
  IReportFields* OSTREL_CALL CopyFields() override { return nullptr; }
};

ItemSpec Edit(std::u16string name, std::u16string output, std::u16string text, int lines = 1,
              bool ownSection = false) {
  ItemSpec e;
  e.kind = ItemKind::Edit;
  e.name = std::move(name);
  e.outputName = std::move(output);
  e.text = std::move(text);
  e.lines = lines;
  e.ownSection = ownSection;
  return e;
}

ItemSpec Check(std::u16string name, std::u16string output, bool checked) {
  ItemSpec c;
  c.kind = ItemKind::CheckBox;
  c.name = std::move(name);
  c.outputName = std::move(output);
  c.checked = checked;
  return c;
}

TEST(AssistantValues, OnlyContinuedPagesReachTheReport) {
  PageValues contact{EmptyPage(u"ContactForm"), kContinued};
  contact.spec.items.push_back(Edit(u"NameEdit", u"contact name", u""));
  contact.spec.items.push_back(Edit(u"EmailEdit", u"contact email", u"a@b.c"));
  contact.spec.items.push_back(Check(u"MemCheck", u"", true));
  contact.spec.items.push_back(Check(u"Agree", u"agreed", false));
  PageValues details{EmptyPage(u"DetailsForm"), kContinued};
  details.spec.items.push_back(
      Edit(u"DetailsMemo", u"error details", u"I clicked <save> & it died\r\ntwice", 9, true));
  PageValues skipped{EmptyPage(u"Other"), kSkipped};
  skipped.spec.items.push_back(Edit(u"X", u"skipped field", u"text"));
  FakeFields header, sections;
  StoreValues({&contact, &details, &skipped}, header, sections);
  // An empty name adds nothing; a check box without output name neither.
  EXPECT_EQ(header.entries, (std::vector<std::pair<std::u16string, std::u16string>>{
                                {u"contact email", u"a@b.c"}, {u"agreed", u"no"}}));
  ASSERT_EQ(sections.entries.size(), 1u);
  EXPECT_EQ(sections.entries[0].second, u"I clicked <save> & it died\r\ntwice");
}

TEST(AssistantValues, OneLineEditNeverFillsASection) {
  PageValues page{EmptyPage(u"P"), kContinued};
  page.spec.items.push_back(Edit(u"E", u"field", u"value", 1, true));
  FakeFields header, sections;
  StoreValues({&page}, header, sections);
  EXPECT_EQ(header.entries.size(), 1u);
  EXPECT_TRUE(sections.entries.empty());
}

TEST(AssistantValues, FormsViewListsInputsAndRestoresAsTyped) {
  PageValues page{EmptyPage(u"P"), kContinued};
  ItemSpec label;
  label.kind = ItemKind::Label;
  page.spec.items.push_back(label);
  page.spec.items.push_back(Edit(u"EmailEdit", u"", u""));
  page.spec.items.push_back(Check(u"MemCheck", u"", false));
  std::vector<std::pair<int, int>> typed;
  FormsView view({&page}, [&](int p, int i) { typed.emplace_back(p, i); });
  ASSERT_EQ(view.InputCount(0), 2);
  EXPECT_EQ(view.InputName(0, 0), u"EmailEdit");
  EXPECT_TRUE(view.InputIsCheckBox(0, 1));
  EXPECT_FALSE(view.ContinueEnabled(0));  // the required edit is empty
  view.SetInputText(0, 0, u"a@b.c");
  view.SetInputChecked(0, 1, true);
  EXPECT_EQ(page.spec.items[4].text, u"a@b.c");
  EXPECT_TRUE(page.spec.items[5].checked);
  EXPECT_EQ(typed, (std::vector<std::pair<int, int>>{{0, 4}}));
  EXPECT_TRUE(view.ContinueEnabled(0));
  view.FocusContinue(0);
  EXPECT_EQ(page.spec.activeControl, u"ContinueBtn");
  // Out of range asks give nothing and change nothing.
  EXPECT_EQ(view.InputName(0, 5), u"");
  EXPECT_EQ(view.InputCount(3), 0);
  view.SetInputText(2, 0, u"x");
  EXPECT_TRUE(view.PageEndedWithContinue(0));
  EXPECT_FALSE(view.PageEndedWithContinue(1));
}

}  // namespace
}  // namespace ostrel::assistant
