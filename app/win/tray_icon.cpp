#include "app/win/tray_icon.h"

#include <cstring>

#include "app/win/control_ids.h"

namespace pelmora {

void TrayIcon::Add(HWND owner, HICON icon) {
  data_ = NOTIFYICONDATAA{};
  data_.cbSize = NOTIFYICONDATAA_V1_SIZE;  // 88 bytes
  data_.hWnd = owner;
  data_.uID = 0;
  data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data_.uCallbackMessage = kTrayMessage;
  data_.hIcon = icon;
  std::strcpy(data_.szTip, "Pelmora");
  added_ = Shell_NotifyIconA(NIM_ADD, &data_) != FALSE;
}

void TrayIcon::Remove() {
  if (!added_) return;
  Shell_NotifyIconA(NIM_DELETE, &data_);
  added_ = false;
}

}  // namespace pelmora
