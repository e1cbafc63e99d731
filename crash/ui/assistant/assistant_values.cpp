#include "crash/ui/assistant/assistant_values.h"

namespace ostrel::assistant {

namespace {

bool IsInput(const ItemSpec& item) {
  return item.kind == ItemKind::Edit || item.kind == ItemKind::CheckBox;
}

}  // namespace

ItemSpec* FormsView::Input(int page, int input, int* itemIndex) {
  if (page < 0 || page >= PageCount()) return nullptr;
  auto& items = pages_[static_cast<std::size_t>(page)]->spec.items;
  int seen = 0;
  for (std::size_t i = kFixedButtons; i < items.size(); ++i) {
    if (!IsInput(items[i])) continue;
    if (seen++ == input) {
      if (itemIndex) *itemIndex = static_cast<int>(i);
      return &items[i];
    }
  }
  return nullptr;
}

bool FormsView::PageEndedWithContinue(int page) {
  return page >= 0 && page < PageCount() &&
         pages_[static_cast<std::size_t>(page)]->result == kContinued;
}

int FormsView::InputCount(int page) {
  int n = 0;
  while (Input(page, n)) ++n;
  return n;
}

std::u16string FormsView::InputName(int page, int input) {
  const ItemSpec* item = Input(page, input);
  return item ? item->name : std::u16string();
}

bool FormsView::InputIsCheckBox(int page, int input) {
  const ItemSpec* item = Input(page, input);
  return item && item->kind == ItemKind::CheckBox;
}

std::u16string FormsView::InputText(int page, int input) {
  const ItemSpec* item = Input(page, input);
  return item ? item->text : std::u16string();
}

void FormsView::SetInputText(int page, int input, const std::u16string& text) {
  int index = -1;
  ItemSpec* item = Input(page, input, &index);
  if (!item || item->kind != ItemKind::Edit) return;
  item->text = text;
  if (textSet_) textSet_(page, index);
}

bool FormsView::InputChecked(int page, int input) {
  const ItemSpec* item = Input(page, input);
  return item && item->checked;
}

void FormsView::SetInputChecked(int page, int input, bool checked) {
  if (ItemSpec* item = Input(page, input); item && item->kind == ItemKind::CheckBox)
    item->checked = checked;
}

bool FormsView::ContinueEnabled(int page) {
  if (page < 0 || page >= PageCount()) return false;
  const PageSpec& spec = pages_[static_cast<std::size_t>(page)]->spec;
  return spec.Button(kContinueButton).enabled && !spec.ContinueRefused();
}

void FormsView::FocusContinue(int page) {
  if (page < 0 || page >= PageCount()) return;
  PageSpec& spec = pages_[static_cast<std::size_t>(page)]->spec;
  spec.activeControl = spec.Button(kContinueButton).name;
}

void StoreValues(const std::vector<const PageValues*>& pages, IReportFields& header,
                 IReportFields& sections) {
  for (const PageValues* page : pages) {
    if (page->result != kContinued) continue;
    for (std::size_t i = kFixedButtons; i < page->spec.items.size(); ++i) {
      const ItemSpec& item = page->spec.items[i];
      if (item.outputName.empty()) continue;
      if (item.kind == ItemKind::Edit && !item.text.empty()) {
        if (item.ownSection && item.lines > 1)
          sections.SetField(item.outputName, item.text);
        else
          header.SetField(item.outputName, item.text);
      } else if (item.kind == ItemKind::CheckBox) {
        header.SetField(item.outputName, item.checked ? u"yes" : u"no");
      }
    }
  }
}

}  // namespace ostrel::assistant
