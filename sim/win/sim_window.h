#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "sim/core/accounts.h"
#include "sim/core/dde_items.h"
#include "sim/win/dde_server.h"
#include "sim/core/gmw_options.h"

namespace pelmora::sim {

// gmw.exe's visible window (class "GoldMineSimMain", caption "GoldMine"):
// accounts with their primary and additional contacts; the clicked one is
// GoldMine's current record. Also takes the tests' control commands.
class SimWindow {
 public:
  SimWindow(GmwOptions options, DdeState state, std::filesystem::path database);
  bool Create(HINSTANCE instance);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Layout();
  bool ReloadAccounts();
  void FillTree();
  // additional < 0: the account's primary contact.
  void MakeCurrent(size_t account, int additional, bool select_item);
  bool SelectAccount(const std::string& accountno);
  bool SelectAdditional(const std::string& recid);
  LRESULT Command(const std::string& text);
  void ShowStatus();

  GmwOptions options_;
  DdeState state_;
  std::filesystem::path database_;
  std::vector<Account> accounts_;
  std::vector<std::vector<HTREEITEM>> items_;  // [account][0: primary, 1+: additional]
  DdeServer dde_;
  HWND hwnd_ = nullptr;
  HWND tree_ = nullptr;
  HWND status_ = nullptr;
  bool filling_ = false;
};

}  // namespace pelmora::sim
