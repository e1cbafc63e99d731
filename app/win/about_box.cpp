#include "app/win/about_box.h"

#include <shellapi.h>

#include "app/win/control_ids.h"
#include "app/win/ui_support.h"

namespace pelmora {

namespace {
const wchar_t kAboutText[] =
    L"Pelmora is a free utility for GoldMine provided by \r\n"
    L"Quillon Services Ltd.\r\n"
    L"\r\n"
    L"Version 1.1 \r\n"
    L"\r\n"
    L"It extends the website detail records, tying them to contacts,\r\n"
    L"both primary and additional. \r\n"
    L"\r\n"
    L"It can be used for links to a contact's profiles on social networking sites, or for any "
    L"websites that\r\n"
    L"relate to particular contacts.\r\n"
    L"\r\n"
    L"It will only recognise website links that it itself has created, but\r\n"
    L"those links may also be called from GoldMine in the usual way.\r\n"
    L"\r\n"
    L"It floats over other windows and minimises to the system tray.\r\n"
    L"\r\n"
    L"To show the primary contact just make sure that no additional\r\n"
    L"contact is selected by moving off the additional contacts tab.";
}  // namespace

bool TForm3::Create() {
  if (!CreateTopLevel(kAboutWindowClass, L"Info", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                      WS_EX_DLGMODALFRAME, nullptr))
    return false;
  PlaceWindow(hwnd_, 679, 371, 322, 297);
  font_ = CreateUiFont(11);
  memo_ = CreateChild(hwnd_, L"EDIT", kAboutText,
                      WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_CENTER, 8, 8, 305,
                      249, kIdMemo, font_, WS_EX_CLIENTEDGE);
  CreateChild(hwnd_, L"BUTTON", L"Go To Quillon Services Website",
              WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 8, 264, 225, 25, kIdHomePageButton, font_);
  CreateChild(hwnd_, L"BUTTON", L"Close", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 240, 264, 75, 25,
              kIdCloseButton, font_);
  return true;
}

int TForm3::ShowModal() {
  SetFocus(memo_);
  return RunModal(hwnd_, &modalResult_);
}

void TForm3::Button1Click() {
  ShellExecuteW(hwnd_, L"open", kHomePageAddress, L"", L"", SW_SHOWNORMAL);
}

LRESULT TForm3::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kIdHomePageButton) Button1Click();
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kIdCloseButton) Button2Click();
      return 0;
    case WM_CLOSE:
      modalResult_ = 2;
      return 0;
    default:
      return Default(msg, wParam, lParam);
  }
}

}  // namespace pelmora
