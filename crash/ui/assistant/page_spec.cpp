#include "crash/ui/assistant/page_spec.h"

#include <charconv>
#include <limits>

#include "crash/base/text_case.h"
#include "crash/base/utf.h"

namespace ostrel::assistant {

namespace {

constexpr std::u16string_view kFixedNames[kFixedButtons] = {u"ContinueBtn", u"SkipBtn",
                                                            u"CancelBtn"};

// Decimal text; anything else (or out of range) is 0.
int ToInt(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) {
    if (c > 0x7f) return 0;
    narrow += static_cast<char>(c);
  }
  long long v = 0;
  auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), v);
  if (ec != std::errc() || end != narrow.data() + narrow.size()) return 0;
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return 0;
  return static_cast<int>(v);
}

// Every "%LF%", without regard to case, becomes a line break.
std::u16string ExpandLineBreaks(std::u16string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    if (i + 4 <= text.size() && EqualsNoCase(text.substr(i, 4), u"%LF%")) {
      out += u"\r\n";
      i += 4;
    } else {
      out += text[i++];
    }
  }
  return out;
}

ItemSpec MakeButton(std::u16string name, std::u16string caption) {
  ItemSpec b;
  b.kind = ItemKind::Button;
  b.name = std::move(name);
  b.caption = std::move(caption);
  return b;
}

bool KindOfClass(const std::string& stored, ItemKind& kind) {
  if (stored.empty()) return false;
  // The streams say INVButton; the classes are TNVButton: the first letter
  // does not count.
  const std::string_view rest = std::string_view(stored).substr(1);
  if (rest == "NVButton")
    kind = ItemKind::Button;
  else if (rest == "NVLabel")
    kind = ItemKind::Label;
  else if (rest == "NVEdit")
    kind = ItemKind::Edit;
  else if (rest == "NVCheckBox")
    kind = ItemKind::CheckBox;
  else if (rest == "NVImage")
    kind = ItemKind::Image;
  else
    return false;
  return true;
}

void ApplyItemProperty(ItemSpec& item, const std::string& prop, const std::u16string& value) {
  const bool yes = IsTrueText(value);
  if (prop == "Enabled")
    item.enabled = yes;
  else if (prop == "Spacing")
    item.spacing = ToInt(value);
  else if (prop == "OutputName")
    item.outputName = value;
  else if (prop == "OutputType")
    item.ownSection = ContainsNoCase(value, u"ownSection");
  else if (prop == "Caption")
    item.caption = value;
  else if (prop == "Text" && item.kind == ItemKind::CheckBox)
    item.caption = value;
  else if (prop == "Text")
    item.text = ExpandLineBreaks(value);
  else if (prop == "MinWidth")
    item.minWidth = ToInt(value);
  else if (prop == "NoOwnerDraw")
    item.noOwnerDraw = yes;
  else if (prop == "Visible")
    item.visible = yes;
  else if (prop == "Lines")
    item.lines = ToInt(value);
  else if (prop == "Optional")
    item.optional = yes;
  else if (prop == "Colored")
    item.colored = yes;
  else if (prop == "Valid")
    item.valid = yes;
  else if (prop == "Checked")
    item.checked = yes;
  else if (prop == "Width")
    item.width = ToInt(value);
  else if (prop == "Height")
    item.height = ToInt(value);
  else if (prop == "File")
    item.file = value;
  else if (prop == "Clickable")
    item.clickable = yes;
  else if (prop == "Border")
    item.border = yes;
}

}  // namespace

bool IsTrueText(std::u16string_view text) {
  return EqualsNoCase(text, u"yes") || EqualsNoCase(text, u"true") || text == u"1";
}

PageSpec EmptyPage(std::u16string name) {
  PageSpec page;
  page.name = std::move(name);
  page.items.push_back(MakeButton(std::u16string(kFixedNames[0]), u"Next >"));
  page.items.push_back(MakeButton(std::u16string(kFixedNames[1]), u"Skip"));
  page.items.push_back(MakeButton(std::u16string(kFixedNames[2]), u"Cancel"));
  return page;
}

int PageSpec::Find(std::u16string_view itemName) const {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (items[i].name == itemName) return static_cast<int>(i);
  return -1;
}

bool PageSpec::ContinueRefused() const {
  for (const ItemSpec& item : items)
    if (item.RefusesContinue()) return true;
  return false;
}

void ApplyDescription(const ParsedForm& form, const ICodePage& codePage, PageSpec& page) {
  if (form.stop == FormStop::NoSignature) return;
  if (!form.root.name.empty()) page.name = Utf8ToUtf16(form.root.name);
  for (const StreamProperty& p : form.root.properties) {
    const std::u16string value = PropertyText(p, codePage);
    if (p.name == "Message")
      page.message = value;
    else if (p.name == "MinWidth")
      page.minWidth = ToInt(value);
    else if (p.name == "ActiveControl")
      page.activeControl = value;
    else if (p.name == "Timer")
      page.timer = ToInt(value);
    else if (p.name == "OnAction")
      page.onAction = value;
  }
  for (const FormObject& child : form.root.children) {
    ItemKind kind;
    if (!KindOfClass(child.className, kind)) continue;
    std::u16string name = Utf8ToUtf16(child.name);
    if (kind == ItemKind::Button && name == u"AbortBtn") name = u"CancelBtn";
    ItemSpec* target = nullptr;
    ItemSpec added;
    if (kind == ItemKind::Button) {
      for (int b = 0; b < kFixedButtons; ++b)
        if (name == kFixedNames[b]) target = &page.items[static_cast<std::size_t>(b)];
    }
    if (!target) {
      added.kind = kind;
      added.name = name;
      target = &added;
    }
    for (const StreamProperty& p : child.properties)
      ApplyItemProperty(*target, p.name, PropertyText(p, codePage));
    // Only a multi-line edit may fill a section of its own.
    if (target->kind != ItemKind::Edit || target->lines <= 1) target->ownSection = false;
    if (target == &added) page.items.push_back(std::move(added));
  }
  if (form.stop != FormStop::End) page.readError = FormStreamErrorText(form);
}

bool CanFocus(const ItemSpec& item) {
  return item.IsTabStop() && item.enabled && !item.forcedDisabled && item.visible;
}

int NextFocusable(const PageSpec& page, int from, bool forward) {
  const int n = static_cast<int>(page.items.size());
  if (n == 0) return -1;
  int i = from;
  for (int step = 0; step < n; ++step) {
    i = forward ? (i + 1) % n : (i - 1 + n) % n;
    if (CanFocus(page.items[static_cast<std::size_t>(i)])) return i;
  }
  return -1;
}

int InitialFocus(const PageSpec& page) {
  if (!page.activeControl.empty()) {
    const int named = page.Find(page.activeControl);
    if (named >= 0 && CanFocus(page.items[static_cast<std::size_t>(named)])) return named;
  }
  return NextFocusable(page, kCancelButton, true);
}

}  // namespace ostrel::assistant
