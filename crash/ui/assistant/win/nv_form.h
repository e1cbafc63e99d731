#pragma once
// One assistant page: its items, its window while it is shown (laid out,
// painted and driven by the keyboard as the page engine's rules say) and
// the values it keeps after it closed.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "crash/ui/assistant/assistant_values.h"
#include "crash/ui/assistant/page_layout.h"
#include "crash/ui/assistant/win/nv_item.h"
#include "ostrel/assistant.h"

namespace ostrel {

class TNVAssistant;

constexpr UINT_PTR kPageTimer = 777;

class TNVForm final : public INVForm {
 public:
  TNVForm(TNVAssistant& assistant, assistant::PageSpec spec, int step, int stepCount);
  ~TNVForm();
  TNVForm(const TNVForm&) = delete;
  TNVForm& operator=(const TNVForm&) = delete;

  assistant::PageValues& Values() { return values_; }
  assistant::PageSpec& Spec() { return values_.spec; }
  TNVItem& Item(int index) { return *items_[static_cast<std::size_t>(index)]; }
  // Runs the page's own callback, then the assistant's.
  void Fire(AssistantAction action, TNVItem* item);
  // Continue is force-disabled while an item refuses it.
  void UpdateContinue();
  void RepaintItem(int index);
  // An edit's text changed: taken from its window, told to the handlers,
  // and Continue checked again.
  void EditChanged(int index);
  void SetTitleText(const std::u16string& title);
  HWND Window() const { return window_; }
  HFONT ItemFont() const { return itemFont_; }
  // The image's bitmap zoomed to its laid-out area.
  void FitImage(TNVItem& image);

  // IUnknownBase: references are the assistant's.
  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override;
  std::uint32_t OSTREL_CALL Release() override;

  IAssistantPages* OSTREL_CALL Assistant() override;
  void OSTREL_CALL PageName(std::u16string& out) override { out = Spec().name; }
  void OSTREL_CALL Title(std::u16string& out) override { out = title_; }
  void OSTREL_CALL SetTitle(const std::u16string& value) override { SetTitleText(value); }
  void OSTREL_CALL Message(std::u16string& out) override { out = Spec().message; }
  void OSTREL_CALL SetMessage(const std::u16string& value) override;
  std::int32_t OSTREL_CALL ItemCount() override { return static_cast<std::int32_t>(items_.size()); }
  INVItem* OSTREL_CALL ItemAt(std::int32_t index) override;
  INVButton* OSTREL_CALL ContinueButton() override { return &Item(assistant::kContinueButton); }
  INVButton* OSTREL_CALL SkipButton() override { return &Item(assistant::kSkipButton); }
  INVButton* OSTREL_CALL CancelButton() override { return &Item(assistant::kCancelButton); }
  void OSTREL_CALL ActiveControl(std::u16string& out) override { out = Spec().activeControl; }
  void OSTREL_CALL SetActiveControl(const std::u16string& value) override {
    Spec().activeControl = value;
  }
  std::int32_t OSTREL_CALL Timer() override { return Spec().timer; }
  void* OSTREL_CALL WindowHandle() override { return window_; }
  std::int32_t OSTREL_CALL ModalResult() override { return values_.result; }
  AssistantActionRoutine OSTREL_CALL OnAction() override { return onAction_; }
  void OSTREL_CALL SetOnAction(AssistantActionRoutine value) override { onAction_ = value; }
  INVEdit* OSTREL_CALL FindEdit(const std::u16string& name) override;
  INVLabel* OSTREL_CALL FindLabel(const std::u16string& name) override;
  INVButton* OSTREL_CALL FindButton(const std::u16string& name) override;
  INVCheckBox* OSTREL_CALL FindCheckBox(const std::u16string& name) override;
  INVImage* OSTREL_CALL FindImage(const std::u16string& name) override;
  void OSTREL_CALL SkipPage() override { skip_ = true; }
  std::int32_t OSTREL_CALL ShowPage(void* parentWindow) override;
  IExceptionReport* OSTREL_CALL ExceptionReport() override { return report_; }
  void OSTREL_CALL SetExceptionReport(IExceptionReport* value) override { report_ = value; }
  void* OSTREL_CALL PageData() override { return pageData_; }
  void OSTREL_CALL SetPageData(void* value) override { pageData_ = value; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  TNVItem* Find(const std::u16string& name, assistant::ItemKind kind);
  void MakeFonts();
  void LayOut();
  void CreateControls();
  // Tab, Enter and Escape, before the control under the focus sees them.
  bool PreTranslate(MSG& msg);
  int FocusedItem();
  void FocusItem(int index);
  void Command(int index, int code);
  void End(int result);
  void Paint(HDC dc);
  int ImageAt(POINT p);

  TNVAssistant& assistant_;
  assistant::PageValues values_;
  std::vector<std::unique_ptr<TNVItem>> items_;
  std::u16string title_;
  int step_, stepCount_;
  AssistantActionRoutine onAction_ = nullptr;
  IExceptionReport* report_ = nullptr;
  void* pageData_ = nullptr;
  bool skip_ = false;
  HWND window_ = nullptr;
  HWND lastFocus_ = nullptr;
  int pressedImage_ = -1;
  bool ending_ = false;
  assistant::PageLayout layout_;
  HFONT itemFont_ = nullptr, buttonFont_ = nullptr, messageFont_ = nullptr;
  HFONT plainButtonFont_ = nullptr, stepFont_ = nullptr, markFont_ = nullptr;
};

}  // namespace ostrel
