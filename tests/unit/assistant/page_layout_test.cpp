#include "crash/ui/assistant/page_layout.h"

#include <gtest/gtest.h>

namespace ostrel::assistant {
namespace {

// Every character 6 pixels wide (8 in the header and on owner-drawn
// buttons), lines 13 pixels high; wrapping breaks at `width`.
class FakeMetrics final : public IPageMetrics {
 public:
  TextSize ButtonCaption(std::u16string_view text, bool ownerDrawn) override {
    return {static_cast<int>(text.size()) * (ownerDrawn ? 8 : 6), ownerDrawn ? 17 : 13};
  }
  int MessageWidth(std::u16string_view text) override { return static_cast<int>(text.size()) * 8; }
  TextSize ItemText(std::u16string_view text) override {
    return {static_cast<int>(text.size()) * 6, 13};
  }
  TextSize WrappedText(std::u16string_view text, int width) override {
    const int perLine = std::max(1, width / 6);
    const int lines = std::max(1, (static_cast<int>(text.size()) + perLine - 1) / perLine);
    return {std::min(width, static_cast<int>(text.size()) * 6), lines * 13};
  }
  int CheckMarkSize() override { return 13; }
  int ScreenHeight() override { return 768; }
};

ItemSpec Make(ItemKind kind, std::u16string caption = {}) {
  ItemSpec i;
  i.kind = kind;
  i.caption = std::move(caption);
  i.name = u"item";
  return i;
}

PageSpec Contact() {
  PageSpec p = EmptyPage(u"ContactForm");
  p.message = u"Contact Information";
  p.items[0].caption = u"Continue";
  p.items.push_back(Make(ItemKind::Label, u"your name:"));
  p.items.push_back(Make(ItemKind::Edit));
  p.items.push_back(Make(ItemKind::Label, u"your email:"));
  p.items.push_back(Make(ItemKind::Edit));
  p.items.push_back(Make(ItemKind::CheckBox, u"remember me"));
  return p;
}

TEST(PageLayout, ContactPageGapsAndSizes) {
  FakeMetrics m;
  const PageLayout l = LayOutPage(Contact(), 3, m);
  // Width: the buttons (85 + 85 + 85) + 32 = 287, so the 315 minimum...
  // ...unless the header is wider: 19 * 8 + 3 * 19 + 36 = 245.
  EXPECT_EQ(l.width, 315);
  const auto& it = l.items;
  EXPECT_EQ(it[3].y, 38);  // labels sit 2 pixels up
  // A head label is followed by 4 pixels; the edit frame is the line + 2
  // for the window and 2 on each side.
  EXPECT_EQ(it[4].y, 40 + 13 + 4);
  EXPECT_EQ(it[4].height, 13 + 2 + 4);
  EXPECT_EQ(it[4].width, 315 - 46);
  // Edit, head label, edit again: the repeated pattern keeps 8.
  EXPECT_EQ(it[5].y + 2, it[4].Bottom() + 8);
  // The last edit before a check box: 12.
  EXPECT_EQ(it[7].y, it[6].Bottom() + 12);
  EXPECT_EQ(it[7].width, 11 * 6 + 13 + 8);
  // Height: after the last item, Continue (32) and 33.
  EXPECT_EQ(l.height, it[7].Bottom() + 32 + 33);
  EXPECT_EQ(it[0], (PageRect{8, l.height - 32 - 9, 85, 32}));
  EXPECT_EQ(it[1].x, 8 + 85 + 8);
  EXPECT_EQ(it[2].Right(), 315 - 8);
  EXPECT_EQ(l.panelBottom, it[0].y - 10);
}

TEST(PageLayout, HeadLabelOnlyWhenOneLineEndingInColonOrQuestionMark) {
  EXPECT_TRUE(IsHeadLabel(Make(ItemKind::Label, u"your name:"), 1));
  EXPECT_TRUE(IsHeadLabel(Make(ItemKind::Label, u"why?"), 1));
  EXPECT_FALSE(IsHeadLabel(Make(ItemKind::Label, u"your name:"), 2));
  EXPECT_FALSE(IsHeadLabel(Make(ItemKind::Label, u"(click to edit image)"), 1));
  EXPECT_FALSE(IsHeadLabel(Make(ItemKind::Edit, u"x:"), 1));
  FakeMetrics m;
  PageSpec p = EmptyPage(u"P");
  // 400 characters wrap over several lines: not a head label, so 12 before
  // the edit that follows.
  p.items.push_back(Make(ItemKind::Label, std::u16string(400, u'w') + u":"));
  p.items.push_back(Make(ItemKind::Edit));
  const PageLayout l = LayOutPage(p, 1, m);
  EXPECT_GT(l.lines[3], 1);
  EXPECT_EQ(l.items[4].y, 40 + l.items[3].height + 12);
}

TEST(PageLayout, SameKindGapsAndSpacing) {
  FakeMetrics m;
  PageSpec p = EmptyPage(u"P");
  for (ItemKind k : {ItemKind::CheckBox, ItemKind::CheckBox, ItemKind::Edit, ItemKind::Edit,
                     ItemKind::Button, ItemKind::Button})
    p.items.push_back(Make(k, u"x"));
  p.items[6].spacing = 30;
  const PageLayout l = LayOutPage(p, 1, m);
  EXPECT_EQ(l.items[4].y, l.items[3].Bottom() + 8);
  EXPECT_EQ(l.items[5].y, l.items[4].Bottom() + 12);
  EXPECT_EQ(l.items[6].y, l.items[5].Bottom() + 6);
  EXPECT_EQ(l.items[7].y, l.items[6].Bottom() + 30);
  EXPECT_EQ(l.items[8].y, l.items[7].Bottom() + 4);
  // Extra buttons: caption + 32, at least 70, height caption + 10.
  EXPECT_EQ(l.items[8].width, 70);
  EXPECT_EQ(l.items[8].height, 23);
}

TEST(PageLayout, NineLineEditAndMinimumWidths) {
  FakeMetrics m;
  PageSpec p = EmptyPage(u"P");
  p.minWidth = 500;
  ItemSpec memo = Make(ItemKind::Edit);
  memo.lines = 9;
  p.items.push_back(memo);
  const PageLayout l = LayOutPage(p, 1, m);
  EXPECT_EQ(l.width, 500);
  EXPECT_EQ(l.items[3].height, 9 * 13 + 2 + 4);
  EXPECT_EQ(EditWindowRect(l.items[3]), (PageRect{23, 42, 500 - 50, 9 * 13 + 2}));
  // A long header message widens the page past the buttons.
  p.minWidth = 0;
  p.message = std::u16string(60, u'M');
  EXPECT_EQ(LayOutPage(p, 2, m).width, 60 * 8 + 2 * 19 + 36);
}

TEST(PageLayout, StandardButtonsWithoutSkipAreRightAligned) {
  FakeMetrics m;
  PageSpec p = EmptyPage(u"P");
  for (int b = 0; b < 3; ++b) p.items[static_cast<std::size_t>(b)].noOwnerDraw = true;
  p.items[kSkipButton].visible = false;
  const PageLayout l = LayOutPage(p, 1, m);
  // Narrow captions: 75 wide, 23 high; Skip takes no room.
  EXPECT_EQ(l.items[kCancelButton], (PageRect{315 - 8 - 75, l.height - 23 - 9, 75, 23}));
  EXPECT_EQ(l.items[kContinueButton].Right(), l.items[kCancelButton].x - 8);
  EXPECT_EQ(l.items[kSkipButton], PageRect{});
  EXPECT_EQ(l.height, 40 + 23 + 33);
  // With Skip visible again, Continue goes back to the left.
  p.items[kSkipButton].visible = true;
  EXPECT_EQ(LayOutPage(p, 1, m).items[kContinueButton].x, 8);
  // A caption of 64 pixels or less on an owner-drawn button: 85 wide.
  EXPECT_EQ(FixedButtonSize(Make(ItemKind::Button, u"12345678"), m).width, 85);
  EXPECT_EQ(FixedButtonSize(Make(ItemKind::Button, u"123456789"), m).width, 9 * 8 + 20);
}

TEST(PageLayout, ImagesKeepProportionsWithinThePageAndAThirdOfTheScreen) {
  FakeMetrics m;
  PageSpec p = EmptyPage(u"P");
  ItemSpec img = Make(ItemKind::Image);
  img.clickable = true;
  img.border = true;
  p.items.push_back(img);
  // No size and no bitmap: 32 x 32 plus the frame of 8.
  EXPECT_EQ(LayOutPage(p, 1, m).items[3], (PageRect{21, 40, 40, 40}));
  // A screen-sized bitmap: at most 315 - 42 - 8 wide, 256 high.
  const PageLayout l = LayOutPage(p, 1, m, {{}, {}, {}, {1920, 1080}});
  EXPECT_EQ(l.imageSizes[3].width, 315 - 42 - 8);
  EXPECT_EQ(l.imageSizes[3].height, (315 - 42 - 8) * 1080 / 1920);
  const PageLayout tall = LayOutPage(p, 1, m, {{}, {}, {}, {100, 2000}});
  EXPECT_EQ(tall.imageSizes[3].height, 256);
  EXPECT_EQ(tall.imageSizes[3].width, 12);
}

}  // namespace
}  // namespace ostrel::assistant
