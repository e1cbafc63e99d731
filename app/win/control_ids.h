// Window classes and control ids of Pelmora's windows; the end-to-end tests
// find controls by them.
#pragma once

namespace pelmora {

inline constexpr wchar_t kMainWindowClass[] = L"TPelmoraForm";
inline constexpr wchar_t kEditorWindowClass[] = L"TForm2";
inline constexpr wchar_t kAboutWindowClass[] = L"TForm3";

enum MainControlId : int {
  kIdGrid = 1001,
  kIdGoToButton = 1002,
  kIdAddButton = 1003,
  kIdEditButton = 1004,
  kIdDeleteButton = 1005,
  kIdInfoButton = 1006,
  kIdContactName = 1007,
};

enum EditorControlId : int {
  kIdDescription = 2001,
  kIdSiteType = 2002,
  kIdWebsite = 2003,
  kIdOkButton = 2004,
  kIdCancelButton = 2005,
};

enum AboutControlId : int {
  kIdMemo = 3001,
  kIdHomePageButton = 3002,
  kIdCloseButton = 3003,
};

// The notification icon's callback message.
inline constexpr unsigned kTrayMessage = 0x0400 + 1;  // WM_USER + 1

}  // namespace pelmora
