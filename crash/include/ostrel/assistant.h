#pragma once
// Assistants: short sequences of modal pages described by resources, shown
// before a report is sent, saved or printed, or instead of the exception
// box. A page's `OnAction` names a routine of the program (unit.procedure,
// found through the program's symbol information) that reacts to the
// page's actions through these interfaces. Pages and items belong to their
// assistant: the pointers handed out stay valid as long as it lives and
// carry no reference of their own.

#include <cstdint>
#include <string>

#include "ostrel/exception_report.h"
#include "ostrel/unknown.h"

namespace ostrel {

class INVForm;
class INVItem;
class IAssistantPages;

// What a page's action callback is told.
enum AssistantAction : std::int32_t {
  kPageCreated = 0,  // after its description was read
  kPageShowing = 1,  // laid out, not yet visible
  kPageClosing = 2,  // the modal result is set
  kItemAction = 3,   // a click, a text change; with no item: the page timer
};

// The page's own routine runs first, then the assistant's.
using AssistantActionRoutine = void (*)(INVForm* page, AssistantAction action, INVItem* item,
                                        IExceptionReport* report);

// Modal results of a page.
enum PageModalResult : std::int32_t { kPageContinue = 1, kPageSkip = 2, kPageCancel = 3 };

class INVItem : public IUnknownBase {
 public:
  virtual void OSTREL_CALL ItemName(std::u16string& out) = 0;
  virtual void* OSTREL_CALL WindowHandle() = 0;  // HWND; null for an image
  virtual bool OSTREL_CALL IsTabStop() = 0;
  virtual std::int32_t OSTREL_CALL ItemIndex() = 0;
  virtual bool OSTREL_CALL Enabled() = 0;
  virtual void OSTREL_CALL SetEnabled(bool value) = 0;
  // An edit also selects all its text.
  virtual void OSTREL_CALL Focus() = 0;

 protected:
  ~INVItem() = default;
};

class INVButton : public INVItem {
 public:
  virtual void OSTREL_CALL Caption(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetCaption(const std::u16string& value) = 0;
  virtual std::int32_t OSTREL_CALL MinWidth() = 0;

 protected:
  ~INVButton() = default;
};

class INVLabel : public INVItem {
 public:
  virtual void OSTREL_CALL Caption(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetCaption(const std::u16string& value) = 0;

 protected:
  ~INVLabel() = default;
};

// Where an edit's text goes in the report.
enum EditOutputType : std::int32_t { kOutputHeader = 0, kOutputOwnSection = 1 };

class INVEdit : public INVItem {
 public:
  virtual std::int32_t OSTREL_CALL Lines() = 0;
  virtual bool OSTREL_CALL Optional() = 0;
  // Re-checks Continue.
  virtual void OSTREL_CALL SetOptional(bool value) = 0;
  virtual void OSTREL_CALL Text(std::u16string& out) = 0;
  // Fires an item action, as typing would.
  virtual void OSTREL_CALL SetText(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL Colored() = 0;
  virtual void OSTREL_CALL SetColored(bool value) = 0;
  virtual bool OSTREL_CALL Valid() = 0;
  // Repaints and re-checks Continue.
  virtual void OSTREL_CALL SetValid(bool value) = 0;
  virtual EditOutputType OSTREL_CALL OutputType() = 0;
  virtual void OSTREL_CALL SetOutputType(EditOutputType value) = 0;
  virtual void OSTREL_CALL OutputName(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetOutputName(const std::u16string& value) = 0;

 protected:
  ~INVEdit() = default;
};

class INVCheckBox : public INVItem {
 public:
  virtual void OSTREL_CALL Caption(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetCaption(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL Checked() = 0;
  virtual void OSTREL_CALL SetChecked(bool value) = 0;
  virtual void OSTREL_CALL OutputName(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetOutputName(const std::u16string& value) = 0;

 protected:
  ~INVCheckBox() = default;
};

class INVImage : public INVItem {
 public:
  virtual void OSTREL_CALL File(std::u16string& out) = 0;
  // The shown bitmap (the reporter's bitmap interface), or null; borrowed.
  virtual IUnknownBase* OSTREL_CALL Bitmap() = 0;
  // A bitmap larger than the image's area is zoomed down to fit.
  virtual void OSTREL_CALL SetBitmap(IUnknownBase* bitmap) = 0;
  virtual bool OSTREL_CALL Border() = 0;
  virtual bool OSTREL_CALL Clickable() = 0;
  virtual std::int32_t OSTREL_CALL ImageWidth() = 0;
  virtual std::int32_t OSTREL_CALL ImageHeight() = 0;

 protected:
  ~INVImage() = default;
};

class INVForm : public IUnknownBase {
 public:
  virtual IAssistantPages* OSTREL_CALL Assistant() = 0;
  virtual void OSTREL_CALL PageName(std::u16string& out) = 0;
  virtual void OSTREL_CALL Title(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetTitle(const std::u16string& value) = 0;
  virtual void OSTREL_CALL Message(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetMessage(const std::u16string& value) = 0;
  virtual std::int32_t OSTREL_CALL ItemCount() = 0;
  virtual INVItem* OSTREL_CALL ItemAt(std::int32_t index) = 0;
  virtual INVButton* OSTREL_CALL ContinueButton() = 0;
  virtual INVButton* OSTREL_CALL SkipButton() = 0;
  virtual INVButton* OSTREL_CALL CancelButton() = 0;
  virtual void OSTREL_CALL ActiveControl(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetActiveControl(const std::u16string& value) = 0;
  virtual std::int32_t OSTREL_CALL Timer() = 0;
  virtual void* OSTREL_CALL WindowHandle() = 0;
  virtual std::int32_t OSTREL_CALL ModalResult() = 0;
  virtual AssistantActionRoutine OSTREL_CALL OnAction() = 0;
  virtual void OSTREL_CALL SetOnAction(AssistantActionRoutine value) = 0;
  // By exact item name; null when there is none of that kind.
  virtual INVEdit* OSTREL_CALL FindEdit(const std::u16string& name) = 0;
  virtual INVLabel* OSTREL_CALL FindLabel(const std::u16string& name) = 0;
  virtual INVButton* OSTREL_CALL FindButton(const std::u16string& name) = 0;
  virtual INVCheckBox* OSTREL_CALL FindCheckBox(const std::u16string& name) = 0;
  virtual INVImage* OSTREL_CALL FindImage(const std::u16string& name) = 0;
  // Showing the page then returns Skip at once.
  virtual void OSTREL_CALL SkipPage() = 0;
  // Modal; returns the PageModalResult.
  virtual std::int32_t OSTREL_CALL ShowPage(void* parentWindow) = 0;
  virtual IExceptionReport* OSTREL_CALL ExceptionReport() = 0;
  virtual void OSTREL_CALL SetExceptionReport(IExceptionReport* value) = 0;
  virtual void* OSTREL_CALL PageData() = 0;
  virtual void OSTREL_CALL SetPageData(void* value) = 0;

 protected:
  ~INVForm() = default;
};

// Results of ShowPages.
enum AssistantResult : std::int32_t { kAssistantCompleted = 1, kAssistantCancelled = 3 };

class IAssistantPages : public IUnknownBase {
 public:
  virtual void OSTREL_CALL Title(std::u16string& out) = 0;
  // Sets every page's title too.
  virtual void OSTREL_CALL SetTitle(const std::u16string& value) = 0;
  virtual std::int32_t OSTREL_CALL PageCount() = 0;
  virtual INVForm* OSTREL_CALL PageAt(std::int32_t index) = 0;
  // Without regard to case.
  virtual INVForm* OSTREL_CALL PageByName(const std::u16string& name) = 0;
  virtual std::int32_t OSTREL_CALL ModalResult() = 0;
  virtual AssistantActionRoutine OSTREL_CALL OnAction() = 0;
  virtual void OSTREL_CALL SetOnAction(AssistantActionRoutine value) = 0;
  // Shows the pages in order, `parentWindow` (an HWND) disabled meanwhile.
  virtual AssistantResult OSTREL_CALL ShowPages(void* parentWindow) = 0;
  virtual IExceptionReport* OSTREL_CALL ExceptionReport() = 0;
  virtual void OSTREL_CALL SetExceptionReport(IExceptionReport* value) = 0;
  virtual void* OSTREL_CALL AssistantData() = 0;
  virtual void OSTREL_CALL SetAssistantData(void* value) = 0;

 protected:
  ~IAssistantPages() = default;
};

// {3C9A8E21-57D4-4B0F-9E6A-2D81F4C7B935}
constexpr Guid kIidAssistantPages = {
    0x3C9A8E21, 0x57D4, 0x4B0F, {0x9E, 0x6A, 0x2D, 0x81, 0xF4, 0xC7, 0xB9, 0x35}};

}  // namespace ostrel
