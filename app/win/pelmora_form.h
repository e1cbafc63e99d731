// The main window (TPelmoraForm): follows GoldMine's current record and lists
// the website links of the contact shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/win/about_box.h"
#include "app/win/tray_icon.h"
#include "app/win/website_dialog.h"
#include "app/win/window_base.h"
#include "app/write_detail.h"
#include "goldmine/mem_table.h"
#include "goldmine/win/goldmine_api.h"

namespace pelmora {

class TPelmoraForm : public WindowBase {
 public:
  TPelmoraForm(TForm2& form2, TForm3& form3) : form2_(form2), form3_(form3) {}

  // Creates the window and runs FormCreate; false when the start-up failed.
  bool Create();
  // Run whenever the message queue has become empty.
  void OnIdle();

  void ShowWebsites();
  void RefreshWebsites();
  void doSearch(const std::string& sql);
  void ShowStatus();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  bool FormCreate();
  void FormClose();
  void TrayMessage(LPARAM lParam);
  bool WMSysCommand(WPARAM wParam);
  void Timer1Timer() { ShowWebsites(); }
  void aStatusActionUpdate() { ShowStatus(); }
  void AddButtonClick();
  void EditButtonClick();
  void DeleteButtonClick();
  void GoToButtonClick();
  void DBGrid1DblClick();
  void DBGrid1KeyPress(wchar_t key);
  LRESULT DBGrid1DrawDataCell(LPARAM lParam);
  void InfoButtonClick() { form3_.ShowModal(); }
  void WriteDetail(const std::string& recordId, const ContactRef& contact);

  void CreateControls();
  void FillGrid();
  void SelectRow(std::size_t row);
  std::string CurrentField(const char* name) const;
  std::wstring GridText() const;
  // The contact of the current row, taken when a dialog opens.
  ContactRef CurrentContact() const;
  static LRESULT CALLBACK GridProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT GridMessage(HWND, UINT, WPARAM, LPARAM);

  TForm2& form2_;
  TForm3& form3_;
  GoldMineConnection goldMine_;
  TrayIcon tray_;
  std::shared_ptr<MemTable> table_;
  std::string lastAccountNo_, lastBrowseRecNo_;
  std::uintptr_t runningTick_ = 0;  // frame address of the running ShowWebsites
  bool fillingGrid_ = false;
  HFONT font_ = nullptr, boldFont_ = nullptr;
  HWND contactName_ = nullptr, grid_ = nullptr;
  HWND goTo_ = nullptr, add_ = nullptr, edit_ = nullptr, delete_ = nullptr, info_ = nullptr;
  WNDPROC gridDefault_ = nullptr;
};

}  // namespace pelmora
