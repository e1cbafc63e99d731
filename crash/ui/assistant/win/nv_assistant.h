#pragma once
// An assistant: its pages built from their resources in the module whose
// settings define it, shown one after another.

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "crash/base/ref_counted.h"
#include "crash/ui/assistant/assistant_values.h"
#include "crash/ui/assistant/win/nv_form.h"
#include "ostrel/assistant.h"
#include "ostrel/com_ptr.h"
#include "ostrel/settings_lists.h"

namespace ostrel {

// What the built-in page handlers need of the reporter that shows them.
struct AssistantHost {
  std::u16string tempFolder;  // with a trailing backslash
  std::function<NVBitmapPtr()> screenshot;
};

class TNVAssistant final : public IAssistantPages {
 public:
  AssistantHost host;

  // The pages of `definition`, read from its module's resources, each told
  // it was created. No reference is held on `report`.
  static ComPtr<TNVAssistant> Create(const AssistantDefinition& definition,
                                     IExceptionReport* report, AssistantHost host = {});

  TNVForm& Page(int index) { return *pages_[static_cast<std::size_t>(index)]; }
  // The pages' inputs for the settings' form cache; a restored text counts
  // as typed (the page's handler sees it).
  assistant::FormsView Forms();
  std::vector<const assistant::PageValues*> Values();

  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override { return refs_.Increment(); }
  std::uint32_t OSTREL_CALL Release() override;

  void OSTREL_CALL Title(std::u16string& out) override { out = title_; }
  void OSTREL_CALL SetTitle(const std::u16string& value) override;
  std::int32_t OSTREL_CALL PageCount() override { return static_cast<std::int32_t>(pages_.size()); }
  INVForm* OSTREL_CALL PageAt(std::int32_t index) override;
  INVForm* OSTREL_CALL PageByName(const std::u16string& name) override;
  std::int32_t OSTREL_CALL ModalResult() override { return result_; }
  AssistantActionRoutine OSTREL_CALL OnAction() override { return onAction_; }
  void OSTREL_CALL SetOnAction(AssistantActionRoutine value) override { onAction_ = value; }
  AssistantResult OSTREL_CALL ShowPages(void* parentWindow) override;
  IExceptionReport* OSTREL_CALL ExceptionReport() override { return report_; }
  void OSTREL_CALL SetExceptionReport(IExceptionReport* value) override;
  void* OSTREL_CALL AssistantData() override { return data_; }
  void OSTREL_CALL SetAssistantData(void* value) override { data_ = value; }

 private:
  TNVAssistant() = default;
  ~TNVAssistant() = default;

  RefCount refs_;
  std::u16string title_;
  std::vector<std::unique_ptr<TNVForm>> pages_;
  std::int32_t result_ = 0;
  AssistantActionRoutine onAction_ = nullptr;
  IExceptionReport* report_ = nullptr;
  void* data_ = nullptr;
};

// The routine a page's OnAction text names: the two built-in handlers, or
// unit.procedure looked up in the module's symbol information; null when
// nothing is found.
AssistantActionRoutine ResolvePageAction(const std::u16string& text, HMODULE module);

// The built-in handlers of the contact and screenshot pages.
void HandleContactForm(INVForm* page, AssistantAction action, INVItem* item,
                       IExceptionReport* report);
void HandleScreenshotForm(INVForm* page, AssistantAction action, INVItem* item,
                          IExceptionReport* report);

}  // namespace ostrel
