#pragma once
// The WinHTTP functions the uploads use, taken from "winhttp.dll" by name
// once for the process: a system without it fails the upload, not the start.
#include <windows.h>
#include <winhttp.h>

#include <string>

namespace ostrel::upload {

struct WinHttpApi {
  HMODULE module = nullptr;
  decltype(&::WinHttpOpen) Open = nullptr;
  decltype(&::WinHttpConnect) Connect = nullptr;
  decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
  decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;
  decltype(&::WinHttpSetOption) SetOption = nullptr;
  decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
  decltype(&::WinHttpSetStatusCallback) SetStatusCallback = nullptr;
  decltype(&::WinHttpSetCredentials) SetCredentials = nullptr;
  decltype(&::WinHttpAddRequestHeaders) AddRequestHeaders = nullptr;
  decltype(&::WinHttpSendRequest) SendRequest = nullptr;
  decltype(&::WinHttpWriteData) WriteData = nullptr;
  decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
  decltype(&::WinHttpQueryDataAvailable) QueryDataAvailable = nullptr;
  decltype(&::WinHttpReadData) ReadData = nullptr;
  decltype(&::WinHttpGetIEProxyConfigForCurrentUser) GetIEProxyConfigForCurrentUser = nullptr;
  decltype(&::WinHttpGetProxyForUrl) GetProxyForUrl = nullptr;
};

// Null when the library or one of the functions is missing. The library
// stays loaded: callbacks of abandoned requests may still run in it.
const WinHttpApi* LoadWinHttp();

// "WinHTTP error N (the system's text for it)".
std::string WinHttpErrorText(const WinHttpApi& api, DWORD code);

}  // namespace ostrel::upload
