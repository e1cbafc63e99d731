#include "crash/ui/assistant/page_spec.h"

#include <gtest/gtest.h>

namespace ostrel::assistant {
namespace {

StreamProperty Text(std::string name, std::u16string value) {
  return MakeTextProperty(std::move(name), std::move(value));
}

FormObject Child(std::string cls, std::string name, std::vector<StreamProperty> props) {
  FormObject o;
  o.className = std::move(cls);
  o.name = std::move(name);
  o.properties = std::move(props);
  return o;
}

ParsedForm ContactLike() {
  ParsedForm f;
  f.root.className = "TNVForm";
  f.root.name = "ContactForm";
  f.root.properties = {Text("Message", u"Contact Information"), MakeIntProperty("Timer", 0),
                       Text("OnAction", u"Ostrel.HandleContactForm")};
  f.root.children = {
      Child("INVButton", "ContinueBtn", {Text("Caption", u"Continue")}),
      Child("INVButton", "SkipBtn", {Text("Caption", u"Skip"), MakeBoolProperty("Enabled", false)}),
      Child("INVButton", "AbortBtn", {Text("Caption", u"Stop")}),
      Child("INVLabel", "Label1", {Text("Caption", u"your name:")}),
      Child("INVEdit", "NameEdit",
            {MakeIntProperty("Lines", 1), MakeBoolProperty("Optional", true),
             Text("OutputName", u"contact name"), Text("OutputType", u"nvoOwnSection")}),
      Child("INVWhatever", "Ignored", {}),
      Child("INVEdit", "Memo",
            {MakeIntProperty("Lines", 9), Text("Text", u"one%lf%two"),
             Text("OutputType", u"nvoOWNSECTION")}),
      Child("INVCheckBox", "MemCheck", {Text("Text", u"remember me"), Text("Checked", u"Yes")}),
      Child("INVButton", "Extra", {}),
  };
  return f;
}

TEST(PageSpec, DescriptionFillsPageFixedButtonsAndItemsInOrder) {
  PageSpec page = EmptyPage(u"Asked");
  EXPECT_EQ(page.Button(kContinueButton).caption, u"Next >");
  ApplyDescription(ContactLike(), Latin1CodePage(), page);
  EXPECT_EQ(page.name, u"ContactForm");
  EXPECT_EQ(page.message, u"Contact Information");
  EXPECT_EQ(page.onAction, u"Ostrel.HandleContactForm");
  ASSERT_EQ(page.items.size(), 8u);  // 3 fixed, the unknown class skipped
  EXPECT_EQ(page.Button(kContinueButton).caption, u"Continue");
  EXPECT_FALSE(page.Button(kSkipButton).enabled);
  // AbortBtn is the Cancel button.
  EXPECT_EQ(page.Button(kCancelButton).caption, u"Stop");
  EXPECT_EQ(page.Button(kCancelButton).name, u"CancelBtn");
  const ItemSpec& name = page.items[4];
  EXPECT_EQ(name.name, u"NameEdit");
  EXPECT_TRUE(name.optional);
  EXPECT_FALSE(name.ownSection);  // one line: never a section of its own
  const ItemSpec& memo = page.items[5];
  EXPECT_TRUE(memo.ownSection);
  EXPECT_EQ(memo.text, u"one\r\ntwo");
  EXPECT_EQ(page.items[6].caption, u"remember me");
  EXPECT_TRUE(page.items[6].checked);
  EXPECT_EQ(page.items[7].kind, ItemKind::Button);
  EXPECT_EQ(page.items[7].ShownCaption(), u"Extra");
  EXPECT_TRUE(page.readError.empty());
}

TEST(PageSpec, BooleansAndBadIntegers) {
  EXPECT_TRUE(IsTrueText(u"yes"));
  EXPECT_TRUE(IsTrueText(u"TRUE"));
  EXPECT_TRUE(IsTrueText(u"1"));
  EXPECT_FALSE(IsTrueText(u"0"));
  EXPECT_FALSE(IsTrueText(u"on"));
  ParsedForm f;
  f.root.name = "P";
  f.root.properties = {Text("Timer", u"12x"), Text("MinWidth", u"99999999999")};
  f.root.children = {Child("INVEdit", "E", {MakeBoolProperty("Enabled", false)})};
  PageSpec page = EmptyPage(u"P");
  ApplyDescription(f, Latin1CodePage(), page);
  EXPECT_EQ(page.timer, 0);
  EXPECT_EQ(page.minWidth, 0);
  EXPECT_FALSE(page.items[3].enabled);
}

TEST(PageSpec, StoppedStreamKeepsWhatWasReadAndSaysWhy) {
  ParsedForm f = ContactLike();
  f.stop = FormStop::UnknownType;
  f.badType = 99;
  PageSpec page = EmptyPage(u"P");
  ApplyDescription(f, Latin1CodePage(), page);
  EXPECT_EQ(page.items.size(), 8u);
  EXPECT_EQ(page.readError, u"Internal error: Invalid assistant resource (99).");
  ParsedForm none;
  none.stop = FormStop::NoSignature;
  PageSpec bare = EmptyPage(u"Bare");
  ApplyDescription(none, Latin1CodePage(), bare);
  EXPECT_EQ(bare.items.size(), 3u);
  EXPECT_TRUE(bare.readError.empty());
}

TEST(PageSpec, ContinueRefusedByRequiredEmptyOrInvalidEdit) {
  PageSpec page = EmptyPage(u"P");
  ItemSpec edit;
  edit.kind = ItemKind::Edit;
  page.items.push_back(edit);
  EXPECT_TRUE(page.ContinueRefused());
  page.items[3].text = u"x";
  EXPECT_FALSE(page.ContinueRefused());
  page.items[3].valid = false;
  EXPECT_TRUE(page.ContinueRefused());
  page.items[3].optional = true;
  EXPECT_FALSE(page.ContinueRefused());
}

TEST(PageSpec, FocusChainSkipsWhatCannotTakeFocusAndWraps) {
  PageSpec page = EmptyPage(u"P");
  ApplyDescription(ContactLike(), Latin1CodePage(), page);
  // After Cancel: the label is no tab stop, so the name edit.
  EXPECT_EQ(InitialFocus(page), 4);
  page.activeControl = u"ContinueBtn";
  EXPECT_EQ(InitialFocus(page), 0);
  page.Button(kContinueButton).forcedDisabled = true;
  EXPECT_EQ(InitialFocus(page), 4);  // named but disabled: the first after Cancel
  // Forward from the last item wraps to Continue, which is forced off, and
  // Skip, which is disabled: Cancel.
  EXPECT_EQ(NextFocusable(page, 7, true), kCancelButton);
  EXPECT_EQ(NextFocusable(page, 4, false), kCancelButton);
  page.items[4].enabled = false;
  EXPECT_EQ(NextFocusable(page, kCancelButton, true), 5);
  PageSpec labels = EmptyPage(u"L");
  for (auto& b : labels.items) b.enabled = false;
  EXPECT_EQ(NextFocusable(labels, 0, true), -1);
  EXPECT_EQ(InitialFocus(labels), -1);
}

}  // namespace
}  // namespace ostrel::assistant
