// The website editor (TForm2): one dialog for Add, Edit and Delete, created
// at start-up and reused.
#pragma once

#include <string>

#include "app/win/window_base.h"

namespace pelmora {

class TForm2 : public WindowBase {
 public:
  bool Create();

  void SetTexts(const std::wstring& caption, const std::wstring& okCaption);
  std::wstring Description() const;
  std::wstring SiteType() const;
  std::wstring Website() const;
  void SetDescription(const std::wstring& text);
  void SetSiteType(const std::wstring& text);
  void SetWebsite(const std::wstring& text);

  // 1 for OK; 2 for Cancel or closing by the title bar.
  int ShowModal();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void OkButtonClick() { modalResult_ = 1; }
  void CancelButtonClick() { modalResult_ = 2; }

  HFONT font_ = nullptr;
  HWND description_ = nullptr, siteType_ = nullptr, website_ = nullptr, okButton_ = nullptr;
  int modalResult_ = 0;
};

}  // namespace pelmora
