#pragma once
// One item of an assistant page as programs reach it: a single object
// answers for every item kind, and a page hands it out only under the
// interface of its own kind.

#include <windows.h>

#include "crash/imaging/win/nv_bitmap.h"
#include "crash/ui/assistant/page_spec.h"
#include "ostrel/assistant.h"

namespace ostrel {

class TNVForm;

class TNVItem final : public INVButton,
                      public INVLabel,
                      public INVEdit,
                      public INVCheckBox,
                      public INVImage {
 public:
  TNVItem(TNVForm& page, int index) : page_(page), index_(index) {}

  assistant::ItemSpec& Spec();
  assistant::ItemKind Kind() { return Spec().kind; }
  // The item under its kind's interface.
  INVItem* AsItem();

  HWND window = nullptr;
  NVBitmapPtr bitmap;  // an image's, as given
  NVBitmapPtr shown;   // zoomed to the image's area

  // IUnknownBase: the page's assistant holds the reference.
  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override;
  std::uint32_t OSTREL_CALL Release() override;

  // INVItem
  void OSTREL_CALL ItemName(std::u16string& out) override;
  void* OSTREL_CALL WindowHandle() override { return window; }
  bool OSTREL_CALL IsTabStop() override { return Spec().IsTabStop(); }
  std::int32_t OSTREL_CALL ItemIndex() override { return index_; }
  bool OSTREL_CALL Enabled() override { return Spec().enabled; }
  void OSTREL_CALL SetEnabled(bool value) override;
  void OSTREL_CALL Focus() override;

  // Captions of buttons, labels and check boxes.
  void OSTREL_CALL Caption(std::u16string& out) override { out = Spec().ShownCaption(); }
  void OSTREL_CALL SetCaption(const std::u16string& value) override;
  std::int32_t OSTREL_CALL MinWidth() override { return Spec().minWidth; }

  // INVEdit
  std::int32_t OSTREL_CALL Lines() override { return Spec().lines; }
  bool OSTREL_CALL Optional() override { return Spec().optional; }
  void OSTREL_CALL SetOptional(bool value) override;
  void OSTREL_CALL Text(std::u16string& out) override;
  void OSTREL_CALL SetText(const std::u16string& value) override;
  bool OSTREL_CALL Colored() override { return Spec().colored; }
  void OSTREL_CALL SetColored(bool value) override;
  bool OSTREL_CALL Valid() override { return Spec().valid; }
  void OSTREL_CALL SetValid(bool value) override;
  EditOutputType OSTREL_CALL OutputType() override;
  void OSTREL_CALL SetOutputType(EditOutputType value) override;
  void OSTREL_CALL OutputName(std::u16string& out) override { out = Spec().outputName; }
  void OSTREL_CALL SetOutputName(const std::u16string& value) override;

  // INVCheckBox
  bool OSTREL_CALL Checked() override { return Spec().checked; }
  void OSTREL_CALL SetChecked(bool value) override;

  // INVImage
  void OSTREL_CALL File(std::u16string& out) override { out = Spec().file; }
  IUnknownBase* OSTREL_CALL Bitmap() override { return bitmap.Get(); }
  void OSTREL_CALL SetBitmap(IUnknownBase* value) override;
  bool OSTREL_CALL Border() override { return Spec().border; }
  bool OSTREL_CALL Clickable() override { return Spec().clickable; }
  std::int32_t OSTREL_CALL ImageWidth() override;
  std::int32_t OSTREL_CALL ImageHeight() override;

 private:
  TNVForm& page_;
  int index_;
};

}  // namespace ostrel
