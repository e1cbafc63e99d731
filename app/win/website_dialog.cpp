#include "app/win/website_dialog.h"

#include "app/win/control_ids.h"
#include "app/win/ui_support.h"

namespace pelmora {

namespace {
const wchar_t* const kDescriptions[] = {L"Facebook ", L"Flickr ",   L"Google+",    L"Instagram ",
                                        L"LinkedIn ", L"Pinterest", L"Soundcloud", L"Tumblr",
                                        L"Twitter",   L"YouTube",   L"Website"};
const wchar_t* const kSiteTypes[] = {L"Company", L"Personal"};
}  // namespace

bool TForm2::Create() {
  if (!CreateTopLevel(kEditorWindowClass, L"", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                      WS_EX_DLGMODALFRAME, nullptr))
    return false;
  PlaceWindow(hwnd_, 544, 429, 526, 150);
  font_ = CreateUiFont(11);
  const DWORD label = WS_VISIBLE | SS_LEFT;
  CreateChild(hwnd_, L"STATIC", L"Description", label, 16, 16, 70, 13, -1, font_);
  CreateChild(hwnd_, L"STATIC", L"Type", WS_VISIBLE | SS_RIGHT, 47, 48, 36, 13, -1, font_);
  CreateChild(hwnd_, L"STATIC", L"Website", label, 32, 80, 50, 13, -1, font_);
  // Created in tab order: Description, Website, OK, Cancel, Type.
  const DWORD combo = WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
  description_ =
      CreateChild(hwnd_, L"COMBOBOX", L"", combo, 88, 16, 177, 200, kIdDescription, font_);
  website_ = CreateChild(hwnd_, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 88, 80, 425,
                         21, kIdWebsite, font_, WS_EX_CLIENTEDGE);
  okButton_ = CreateChild(hwnd_, L"BUTTON", L"OK", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 24, 112,
                          75, 25, kIdOkButton, font_);
  CreateChild(hwnd_, L"BUTTON", L"Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 112, 112, 75,
              25, kIdCancelButton, font_);
  siteType_ = CreateChild(hwnd_, L"COMBOBOX", L"", combo, 88, 48, 177, 200, kIdSiteType, font_);
  for (const wchar_t* item : kDescriptions)
    SendMessageW(description_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  for (const wchar_t* item : kSiteTypes)
    SendMessageW(siteType_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  return true;
}

void TForm2::SetTexts(const std::wstring& caption, const std::wstring& okCaption) {
  SetWindowTextW(hwnd_, caption.c_str());
  SetWindowTextW(okButton_, okCaption.c_str());
}

std::wstring TForm2::Description() const { return WindowText(description_); }
std::wstring TForm2::SiteType() const { return WindowText(siteType_); }
std::wstring TForm2::Website() const { return WindowText(website_); }
void TForm2::SetDescription(const std::wstring& t) { SetWindowTextW(description_, t.c_str()); }
void TForm2::SetSiteType(const std::wstring& t) { SetWindowTextW(siteType_, t.c_str()); }
void TForm2::SetWebsite(const std::wstring& t) { SetWindowTextW(website_, t.c_str()); }

int TForm2::ShowModal() {
  SetFocus(description_);
  return RunModal(hwnd_, &modalResult_);
}

LRESULT TForm2::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      // IDOK and IDCANCEL (Enter and Escape) are deliberately ignored.
      if (LOWORD(wParam) == kIdOkButton && HIWORD(wParam) == BN_CLICKED) OkButtonClick();
      if (LOWORD(wParam) == kIdCancelButton && HIWORD(wParam) == BN_CLICKED) CancelButtonClick();
      return 0;
    case WM_CLOSE:
      modalResult_ = 2;
      return 0;
    default:
      return Default(msg, wParam, lParam);
  }
}

}  // namespace pelmora
