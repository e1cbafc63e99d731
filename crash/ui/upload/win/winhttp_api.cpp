#include "crash/ui/upload/win/winhttp_api.h"

#include "crash/base/utf.h"
#include "crash/base/win/wide_text.h"

namespace ostrel::upload {

namespace {

template <typename Function>
bool Take(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

WinHttpApi Load() {
  WinHttpApi api;
  const HMODULE module = LoadLibraryW(L"winhttp.dll");
  if (module == nullptr) return api;
  const bool all =
      Take(module, "WinHttpOpen", api.Open) && Take(module, "WinHttpConnect", api.Connect) &&
      Take(module, "WinHttpOpenRequest", api.OpenRequest) &&
      Take(module, "WinHttpCloseHandle", api.CloseHandle) &&
      Take(module, "WinHttpSetOption", api.SetOption) &&
      Take(module, "WinHttpSetTimeouts", api.SetTimeouts) &&
      Take(module, "WinHttpSetStatusCallback", api.SetStatusCallback) &&
      Take(module, "WinHttpSetCredentials", api.SetCredentials) &&
      Take(module, "WinHttpAddRequestHeaders", api.AddRequestHeaders) &&
      Take(module, "WinHttpSendRequest", api.SendRequest) &&
      Take(module, "WinHttpWriteData", api.WriteData) &&
      Take(module, "WinHttpReceiveResponse", api.ReceiveResponse) &&
      Take(module, "WinHttpQueryHeaders", api.QueryHeaders) &&
      Take(module, "WinHttpQueryDataAvailable", api.QueryDataAvailable) &&
      Take(module, "WinHttpReadData", api.ReadData) &&
      Take(module, "WinHttpGetIEProxyConfigForCurrentUser", api.GetIEProxyConfigForCurrentUser) &&
      Take(module, "WinHttpGetProxyForUrl", api.GetProxyForUrl);
  if (!all) {
    FreeLibrary(module);
    return WinHttpApi{};
  }
  api.module = module;
  return api;
}

}  // namespace

const WinHttpApi* LoadWinHttp() {
  static const WinHttpApi api = Load();
  return api.module != nullptr ? &api : nullptr;
}

std::string WinHttpErrorText(const WinHttpApi& api, DWORD code) {
  wchar_t* text = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD length =
      FormatMessageW(flags, api.module, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message = length > 0 ? FromWide(std::wstring_view(text, length)) : u"";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
    message.pop_back();
  std::string result = "WinHTTP error " + std::to_string(code);
  if (!message.empty()) result += " (" + Utf16ToUtf8(message) + ")";
  return result;
}

}  // namespace ostrel::upload
