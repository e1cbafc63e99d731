#include "goldmine/win/message_box.h"

#include <windows.h>

#include "goldmine/win/text_encoding.h"

namespace pelmora {

void ShowMessage(const std::wstring& text) {
  // Owned by the active window of this thread so it stays in front of the
  // stay-on-top main window.
  HWND owner = GetActiveWindow();
  MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK | (owner ? 0 : MB_TASKMODAL));
}

void ShowMessage(const std::string& ansiText) { ShowMessage(AnsiToWide(ansiText)); }

}  // namespace pelmora
