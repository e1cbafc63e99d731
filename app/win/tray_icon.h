// The notification-area icon of the main window (88-byte record, id 0,
// callback message WM_USER + 1, tip "Pelmora").
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace pelmora {

class TrayIcon {
 public:
  void Add(HWND owner, HICON icon);
  void Remove();
  bool IsAdded() const { return added_; }

 private:
  NOTIFYICONDATAA data_{};
  bool added_ = false;
};

}  // namespace pelmora
