#pragma once
// What an assistant's pages hold once they ran: the values that go into the
// bug report, and the view of them the settings' form cache reads and
// restores.

#include <functional>
#include <vector>

#include "crash/ui/assistant/page_spec.h"
#include "ostrel/exception_report.h"
#include "ostrel/reporter_settings.h"

namespace ostrel::assistant {

struct PageValues {
  PageSpec spec;
  int result = kNoResult;
};

// Inputs are the edits and check boxes of a page; `textSet` is told when
// a restored text replaces an edit's, as a typed one would be.
class FormsView final : public IAssistantForms {
 public:
  using TextSet = std::function<void(int page, int item)>;
  FormsView(std::vector<PageValues*> pages, TextSet textSet = {})
      : pages_(std::move(pages)), textSet_(std::move(textSet)) {}

  int PageCount() override { return static_cast<int>(pages_.size()); }
  bool PageEndedWithContinue(int page) override;
  int InputCount(int page) override;
  std::u16string InputName(int page, int input) override;
  bool InputIsCheckBox(int page, int input) override;
  std::u16string InputText(int page, int input) override;
  void SetInputText(int page, int input, const std::u16string& text) override;
  bool InputChecked(int page, int input) override;
  void SetInputChecked(int page, int input, bool checked) override;
  bool ContinueEnabled(int page) override;
  void FocusContinue(int page) override;

 private:
  ItemSpec* Input(int page, int input, int* itemIndex = nullptr);
  std::vector<PageValues*> pages_;
  TextSet textSet_;
};

// The values of the pages that ended with Continue: an edit's non-empty
// text under its output name (a section of its own for a multi-line edit
// that asks for one, else a header field), a check box's "yes" / "no".
void StoreValues(const std::vector<const PageValues*>& pages, IReportFields& header,
                 IReportFields& sections);

}  // namespace ostrel::assistant
