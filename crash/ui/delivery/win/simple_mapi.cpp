#include "crash/ui/delivery/win/simple_mapi.h"

#include <mapi.h>

#include "crash/ui/delivery/mail_address.h"

namespace ostrel::delivery {

namespace {

// Simple MAPI takes 8-bit texts in the system's code page.
std::string Ansi(const std::u16string& text) {
  const wchar_t* w = reinterpret_cast<const wchar_t*>(text.c_str());
  const int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// A path the code page cannot hold goes as its short form.
std::string AnsiPath(const std::u16string& path) {
  std::string ansi = Ansi(path);
  const wchar_t* w = reinterpret_cast<const wchar_t*>(path.c_str());
  const int back = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring round(static_cast<std::size_t>(back > 0 ? back - 1 : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, round.data(), back);
  if (round == w) return ansi;
  wchar_t shortPath[MAX_PATH];
  const DWORD n = GetShortPathNameW(w, shortPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ansi;
  return Ansi(std::u16string(reinterpret_cast<const char16_t*>(shortPath), n));
}

}  // namespace

MapiResult SendThroughMapi(const MapiMail& mail) {
  HMODULE mapi = LoadLibraryW(L"mapi32.dll");
  if (!mapi) return kMapiFailed;
  auto send = reinterpret_cast<LPMAPISENDMAIL>(
      reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")));
  if (!send) {
    FreeLibrary(mapi);
    return kMapiFailed;
  }

  // The texts the descriptors point into live until the call returns.
  std::vector<std::string> names, addresses, paths, fileNames;
  for (const std::u16string& one : SplitAddressList(mail.recipients)) {
    const MapiAddress a = SplitForMapi(one);
    names.push_back(Ansi(a.name));
    addresses.push_back(Ansi(a.address));
  }
  std::vector<MapiRecipDesc> recipients(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    recipients[i].ulRecipClass = MAPI_TO;
    recipients[i].lpszName = names[i].data();
    recipients[i].lpszAddress = addresses[i].data();
  }
  for (const MailFile& f : mail.files) {
    paths.push_back(AnsiPath(f.path));
    fileNames.push_back(Ansi(f.sendAs));
  }
  std::vector<MapiFileDesc> files(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    files[i].nPosition = static_cast<ULONG>(-1);
    files[i].lpszPathName = paths[i].data();
    files[i].lpszFileName = fileNames[i].data();
  }
  std::string subject = Ansi(mail.subject), body = Ansi(mail.body);
  MapiMessage message{};
  message.lpszSubject = subject.data();
  message.lpszNoteText = body.data();
  message.nRecipCount = static_cast<ULONG>(recipients.size());
  message.lpRecips = recipients.empty() ? nullptr : recipients.data();
  message.nFileCount = static_cast<ULONG>(files.size());
  message.lpFiles = files.empty() ? nullptr : files.data();

  const FLAGS flags = mail.automatic && !recipients.empty() ? 0 : MAPI_LOGON_UI | MAPI_DIALOG;
  // The mail client's window must be able to come to the front.
  const bool topMost =
      mail.parent && (GetWindowLongW(mail.parent, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (topMost) SetWindowPos(mail.parent, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  const ULONG result = send(0, reinterpret_cast<ULONG_PTR>(mail.parent), &message, flags, 0);
  if (topMost && IsWindow(mail.parent))
    SetWindowPos(mail.parent, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  FreeLibrary(mapi);
  if (result == SUCCESS_SUCCESS) return kMapiSent;
  if (result == MAPI_USER_ABORT) return kMapiCancelled;
  return kMapiFailed;
}

}  // namespace ostrel::delivery
