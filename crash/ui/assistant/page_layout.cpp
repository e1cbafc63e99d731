#include "crash/ui/assistant/page_layout.h"

#include <algorithm>
#include <cstdint>

namespace ostrel::assistant {

namespace {

constexpr int kTop = 40, kLeft = 21, kStepWidth = 19;

int Gap(const PageSpec& page, const std::vector<int>& lines, std::size_t i) {
  const auto& items = page.items;
  const ItemSpec& item = items[i];
  if (item.spacing != 0) return item.spacing;
  if (i + 1 >= items.size()) return 0;
  auto head = [&](std::size_t k) { return IsHeadLabel(items[k], lines[k]); };
  if (head(i)) return 4;
  const ItemSpec& next = items[i + 1];
  if (next.kind == item.kind) {
    switch (item.kind) {
      case ItemKind::Button:
        return 4;
      case ItemKind::Edit:
        return 6;
      default:
        return 8;
    }
  }
  // A repeated head label + item pattern keeps its pairs closer.
  if (i > kFixedButtons && head(i - 1) && head(i + 1) && i + 2 < items.size() &&
      items[i + 2].kind == item.kind)
    return 8;
  return 12;
}

TextSize FitImage(TextSize want, int maxWidth, int maxHeight) {
  if (want.width <= 0 || want.height <= 0) return {0, 0};
  maxWidth = std::max(maxWidth, 1);
  maxHeight = std::max(maxHeight, 1);
  if (want.width <= maxWidth && want.height <= maxHeight) return want;
  // Zoomed down as a whole, so that the picture keeps its proportions; in
  // integers, so that every build gets the same size.
  const std::int64_t w = want.width, h = want.height;
  if (w * maxHeight > h * maxWidth)
    return {maxWidth, std::max(1, static_cast<int>(h * maxWidth / w))};
  return {std::max(1, static_cast<int>(w * maxHeight / h)), maxHeight};
}

}  // namespace

bool IsHeadLabel(const ItemSpec& item, int lineCount) {
  if (item.kind != ItemKind::Label || lineCount != 1) return false;
  const std::u16string caption = item.ShownCaption();
  return !caption.empty() && (caption.back() == u':' || caption.back() == u'?');
}

TextSize FixedButtonSize(const ItemSpec& button, IPageMetrics& metrics) {
  if (!button.visible) return {0, 0};
  const bool ownerDrawn = !button.noOwnerDraw;
  const int caption = metrics.ButtonCaption(button.ShownCaption(), ownerDrawn).width;
  int width = caption + 20;
  if (ownerDrawn) {
    if (caption <= 64) width = std::max(width, 85);
    return {width, 32};
  }
  if (caption < 55) width = std::max(width, 75);
  return {width, 23};
}

int ImageFrame(const ItemSpec& image) { return (image.clickable ? 6 : 0) + (image.border ? 2 : 0); }

PageRect EditWindowRect(const PageRect& frame) {
  return {frame.x + 2, frame.y + 2, std::max(0, frame.width - 4), std::max(0, frame.height - 4)};
}

PageLayout LayOutPage(const PageSpec& page, int stepCount, IPageMetrics& metrics,
                      const std::vector<TextSize>& bitmapSizes) {
  PageLayout out;
  const std::size_t n = page.items.size();
  out.items.resize(n);
  out.lines.assign(n, 0);
  out.imageSizes.resize(n);

  TextSize buttons[kFixedButtons];
  int buttonsWidth = 0;
  for (int b = 0; b < kFixedButtons && b < static_cast<int>(n); ++b) {
    buttons[b] = FixedButtonSize(page.items[static_cast<std::size_t>(b)], metrics);
    buttonsWidth += buttons[b].width;
  }
  int width = std::max({buttonsWidth + 32, 315, page.minWidth,
                        metrics.MessageWidth(page.message) + stepCount * kStepWidth + 36});
  out.width = width;
  const int inner = width - 46;

  // Labels are measured first: whether one is a head label decides gaps.
  for (std::size_t i = kFixedButtons; i < n; ++i)
    if (page.items[i].kind == ItemKind::Label) {
      const TextSize t = metrics.WrappedText(page.items[i].ShownCaption(), inner);
      const int lineHeight = std::max(1, metrics.ItemText(u"Gg").height);
      out.lines[i] = std::max(1, (t.height + lineHeight - 1) / lineHeight);
      out.items[i] = {kLeft, 0, inner, t.height};
    }

  int y = kTop;
  for (std::size_t i = kFixedButtons; i < n; ++i) {
    const ItemSpec& item = page.items[i];
    PageRect& r = out.items[i];
    switch (item.kind) {
      case ItemKind::Label:
        r.y = y - 2;
        break;
      case ItemKind::Edit: {
        const int lineHeight = metrics.ItemText(u"Gg").height;
        const int window = lineHeight * std::max(1, item.lines) + 2;
        r = {kLeft, y, inner, window + 4};
        break;
      }
      case ItemKind::CheckBox: {
        const TextSize t = metrics.ItemText(item.ShownCaption());
        const int mark = metrics.CheckMarkSize();
        r = {kLeft, y, t.width + mark + 8, std::max(t.height, mark)};
        break;
      }
      case ItemKind::Button: {
        const TextSize t = metrics.ItemText(item.ShownCaption());
        r = {kLeft, y, std::max({t.width + 32, 70, item.minWidth}), t.height + 10};
        break;
      }
      case ItemKind::Image: {
        const int frame = ImageFrame(item);
        TextSize want{32, 32};
        const TextSize bitmap = i < bitmapSizes.size() ? bitmapSizes[i] : TextSize{};
        if (item.width > 0 && item.height > 0)
          want = {item.width, item.height};
        else if (bitmap.width > 0 && bitmap.height > 0)
          want = bitmap;
        const TextSize area = FitImage(want, width - 42 - frame, metrics.ScreenHeight() / 3);
        out.imageSizes[i] = area;
        r = {kLeft, y, area.width + frame, area.height + frame};
        break;
      }
    }
    // A label is drawn 2 pixels up but takes its whole height from y.
    y += r.height + Gap(page, out.lines, i);
  }

  const int continueHeight = n > 0 ? buttons[kContinueButton].height : 0;
  out.height = y + continueHeight + 33;
  auto place = [&](int b, int x) {
    out.items[static_cast<std::size_t>(b)] = {x, out.height - buttons[b].height - 9,
                                              buttons[b].width, buttons[b].height};
  };
  if (n >= kFixedButtons) {
    const ItemSpec& cont = page.items[kContinueButton];
    const ItemSpec& cancel = page.items[kCancelButton];
    const ItemSpec& skip = page.items[kSkipButton];
    const int cancelX = width - 8 - buttons[kCancelButton].width;
    place(kCancelButton, cancelX);
    if (cont.noOwnerDraw && cancel.noOwnerDraw && !skip.visible) {
      place(kContinueButton, cancelX - 8 - buttons[kContinueButton].width);
      place(kSkipButton, 0);
    } else {
      place(kContinueButton, 8);
      place(kSkipButton, 8 + buttons[kContinueButton].width + 8);
    }
    if (!skip.visible) out.items[kSkipButton] = {};
    out.panelBottom = out.items[kContinueButton].y - 10;
  }
  return out;
}

}  // namespace ostrel::assistant
