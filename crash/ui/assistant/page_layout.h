#pragma once
// Where an assistant page puts its items and fixed buttons, in client
// pixels. The window layer measures texts; the arithmetic is here.

#include <vector>

#include "crash/ui/assistant/page_spec.h"

namespace ostrel::assistant {

struct PageRect {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool operator==(const PageRect&) const = default;
};

struct TextSize {
  int width = 0, height = 0;
};

// Text measures in the fonts the page draws with.
class IPageMetrics {
 public:
  // A fixed button's caption: Arial height 15 when owner-drawn, else Tahoma 11.
  virtual TextSize ButtonCaption(std::u16string_view text, bool ownerDrawn) = 0;
  // The header message in bold Arial height 15.
  virtual int MessageWidth(std::u16string_view text) = 0;
  // Texts of the items (Tahoma 11): one line, and word-wrapped in `width`.
  virtual TextSize ItemText(std::u16string_view text) = 0;
  virtual TextSize WrappedText(std::u16string_view text, int width) = 0;
  virtual int CheckMarkSize() = 0;
  virtual int ScreenHeight() = 0;

 protected:
  ~IPageMetrics() = default;
};

struct PageLayout {
  int width = 0, height = 0;
  // One per item, fixed buttons first; an invisible button's is empty. An
  // edit's rectangle is its frame: the window sits 2 pixels inside.
  std::vector<PageRect> items;
  // Per item: the label's line count, the image's drawn bitmap size.
  std::vector<int> lines;
  std::vector<TextSize> imageSizes;
  int panelBottom = 0;  // the framed panel ends 10 pixels above Continue
};

// `bitmapSizes` (per item, optional) gives the size of an image item's
// bitmap; {0, 0} for none.
PageLayout LayOutPage(const PageSpec& page, int stepCount, IPageMetrics& metrics,
                      const std::vector<TextSize>& bitmapSizes = {});

// The edit window inside its frame.
PageRect EditWindowRect(const PageRect& frame);

// A label of one line whose caption ends with ":" or "?".
bool IsHeadLabel(const ItemSpec& item, int lineCount);

// A fixed button's size.
TextSize FixedButtonSize(const ItemSpec& button, IPageMetrics& metrics);

// An image item's frame: 6 pixels for a clickable one, 2 more for a border.
int ImageFrame(const ItemSpec& image);

}  // namespace ostrel::assistant
