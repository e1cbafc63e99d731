#include "crash/ui/assistant/win/nv_item.h"

#include "crash/ui/assistant/win/nv_form.h"

namespace ostrel {

namespace {

using assistant::ItemKind;

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

}  // namespace

assistant::ItemSpec& TNVItem::Spec() {
  return page_.Spec().items[static_cast<std::size_t>(index_)];
}

INVItem* TNVItem::AsItem() {
  switch (Kind()) {
    case ItemKind::Button:
      return static_cast<INVButton*>(this);
    case ItemKind::Label:
      return static_cast<INVLabel*>(this);
    case ItemKind::Edit:
      return static_cast<INVEdit*>(this);
    case ItemKind::CheckBox:
      return static_cast<INVCheckBox*>(this);
    case ItemKind::Image:
      return static_cast<INVImage*>(this);
  }
  return static_cast<INVLabel*>(this);
}

HResult TNVItem::QueryInterface(const Guid&, void** out) {
  if (!out) return kPointer;
  *out = nullptr;
  return kNoInterface;  // items are handed out under their kind's interface
}
std::uint32_t TNVItem::AddRef() { return page_.AddRef(); }
std::uint32_t TNVItem::Release() { return page_.Release(); }

void TNVItem::ItemName(std::u16string& out) { out = Spec().name; }

void TNVItem::SetEnabled(bool value) {
  Spec().enabled = value;
  if (window) EnableWindow(window, value && !Spec().forcedDisabled);
  page_.RepaintItem(index_);
}

void TNVItem::Focus() {
  if (!window) return;
  SetFocus(window);
  if (Kind() == ItemKind::Edit) SendMessageW(window, EM_SETSEL, 0, -1);
}

void TNVItem::SetCaption(const std::u16string& value) {
  Spec().caption = value;
  if (window) SetWindowTextW(window, Wide(Spec().ShownCaption()));
  page_.RepaintItem(index_);
}

void TNVItem::SetOptional(bool value) {
  Spec().optional = value;
  page_.UpdateContinue();
}

void TNVItem::Text(std::u16string& out) { out = Spec().text; }

void TNVItem::SetText(const std::u16string& value) {
  if (window) {
    SetWindowTextW(window, Wide(value));
    // A one-line edit tells its change itself; a multi-line one does not
    // for a text set as a whole.
    if (Spec().lines > 1) page_.EditChanged(index_);
    return;
  }
  Spec().text = value;
  page_.Fire(kItemAction, this);
  page_.UpdateContinue();
}

void TNVItem::SetColored(bool value) {
  Spec().colored = value;
  page_.RepaintItem(index_);
}

void TNVItem::SetValid(bool value) {
  Spec().valid = value;
  page_.RepaintItem(index_);
  page_.UpdateContinue();
}

EditOutputType TNVItem::OutputType() {
  return Spec().ownSection ? kOutputOwnSection : kOutputHeader;
}

void TNVItem::SetOutputType(EditOutputType value) {
  Spec().ownSection = value == kOutputOwnSection && Spec().lines > 1;
}

void TNVItem::SetOutputName(const std::u16string& value) { Spec().outputName = value; }

void TNVItem::SetChecked(bool value) {
  Spec().checked = value;
  page_.RepaintItem(index_);
}

void TNVItem::SetBitmap(IUnknownBase* value) {
  NVBitmapPtr b;
  if (value) {
    void* out = nullptr;
    if (value->QueryInterface(kIidNVBitmap, &out) == kOk)
      b = NVBitmapPtr::Adopt(static_cast<INVBitmap*>(out));
  }
  bitmap = b;
  page_.FitImage(*this);
  page_.RepaintItem(index_);
}

std::int32_t TNVItem::ImageWidth() { return shown ? shown->Width() : Spec().width; }
std::int32_t TNVItem::ImageHeight() { return shown ? shown->Height() : Spec().height; }

}  // namespace ostrel
