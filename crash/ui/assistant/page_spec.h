#pragma once
// One assistant page as the engine keeps it: the page's own properties, the
// three fixed buttons and the items of its description, with the values a
// user has entered. The rules that need no window live here too: which item
// gets the focus next, when Continue is refused.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crash/settings/code_page.h"
#include "crash/ui/assistant/form_stream.h"

namespace ostrel::assistant {

enum class ItemKind { Button, Label, Edit, CheckBox, Image };

enum FixedButton : int { kContinueButton = 0, kSkipButton = 1, kCancelButton = 2 };
constexpr int kFixedButtons = 3;

enum PageResult : int { kNoResult = 0, kContinued = 1, kSkipped = 2, kCancelled = 3 };

struct ItemSpec {
  ItemKind kind = ItemKind::Label;
  std::u16string name;
  bool enabled = true;
  bool forcedDisabled = false;  // Continue, while an item refuses it
  int spacing = 0;              // 0: automatic
  std::u16string outputName;
  bool ownSection = false;  // only for an edit with more than one line
  // Button, label, check box.
  std::u16string caption;
  // Button.
  int minWidth = 0;
  bool noOwnerDraw = false;
  bool visible = true;
  // Edit.
  std::u16string text;
  int lines = 1;
  bool optional = false;
  bool colored = false;
  bool valid = true;
  // Check box.
  bool checked = false;
  // Image.
  int width = 0, height = 0;
  std::u16string file;
  bool clickable = false, border = false;

  bool IsTabStop() const { return kind != ItemKind::Label && kind != ItemKind::Image; }
  // An edit that keeps Continue disabled.
  bool RefusesContinue() const {
    return kind == ItemKind::Edit && !optional && (!valid || text.empty());
  }
  // Button, label and check box captions fall back to the item's name.
  std::u16string ShownCaption() const { return caption.empty() ? name : caption; }
};

struct PageSpec {
  std::u16string name, message, activeControl, onAction;
  int minWidth = 0;
  int timer = 0;  // milliseconds; 0: none
  // The fixed buttons are items 0, 1, 2; the description's follow.
  std::vector<ItemSpec> items;
  // Faults met while reading the description (shown once, by the window layer).
  std::u16string readError;

  ItemSpec& Button(FixedButton b) { return items[static_cast<std::size_t>(b)]; }
  const ItemSpec& Button(FixedButton b) const { return items[static_cast<std::size_t>(b)]; }
  // Index of the item of that exact name, -1 for none.
  int Find(std::u16string_view itemName) const;
  bool ContinueRefused() const;
};

// A page with only its fixed buttons, captioned "Next >", "Skip", "Cancel".
PageSpec EmptyPage(std::u16string name);

// Fills `page` from a page description: its properties, the fixed buttons'
// settings and its other items in stream order. The object's name becomes
// the page name. Unknown classes and properties are skipped.
void ApplyDescription(const ParsedForm& form, const ICodePage& codePage, PageSpec& page);

// "yes", "true" (any case) or "1".
bool IsTrueText(std::u16string_view text);

// Enabled, not forced off, visible and a tab stop.
bool CanFocus(const ItemSpec& item);

// The next item in the circular chain after `from` (forward or backward)
// that can take the focus; -1 when none can.
int NextFocusable(const PageSpec& page, int from, bool forward);

// The item that gets the focus when the page is shown: the one `ActiveControl`
// names, else the first focusable one after Cancel.
int InitialFocus(const PageSpec& page);

}  // namespace ostrel::assistant
