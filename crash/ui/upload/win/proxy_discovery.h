#pragma once
// The proxy the system would use for an address: what an auto-config
// script or auto-detection names, else the user's own proxy setting.
#include <string>

#include "crash/ui/upload/win/winhttp_api.h"

namespace ostrel::upload {

struct ProxyChoice {
  std::u16string proxy;   // WinHTTP's proxy list; empty: go directly
  std::u16string bypass;  // empty: none
};

// Each of WinHTTP's own steps waits at most timeoutMs.
ProxyChoice FindSystemProxy(const WinHttpApi& api, const std::u16string& url, DWORD timeoutMs);

}  // namespace ostrel::upload
