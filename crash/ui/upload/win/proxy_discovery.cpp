#include "crash/ui/upload/win/proxy_discovery.h"

#include "crash/base/utf.h"
#include "crash/base/win/wide_text.h"
#include "crash/ui/upload/http_exchange.h"

namespace ostrel::upload {

namespace {

// WinHTTP hands its texts over in global memory.
std::u16string TakeText(LPWSTR& text) {
  std::u16string taken = FromWide(text);
  if (text != nullptr) GlobalFree(text);
  text = nullptr;
  return taken;
}

ProxyChoice AskForUrl(const WinHttpApi& api, const std::u16string& url,
                      const std::u16string& configUrl, DWORD timeoutMs) {
  ProxyChoice found;
  const std::wstring agent = Wide(AsciiToUtf16(kUserAgent));
  HINTERNET session = api.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
  if (session == nullptr) return found;
  const int t = static_cast<int>(timeoutMs);
  api.SetTimeouts(session, t, t, t, t);
  WINHTTP_AUTOPROXY_OPTIONS options{};
  options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
  options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  if (!configUrl.empty()) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = WidePtr(configUrl);
  }
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (api.GetProxyForUrl(session, WidePtr(url), &options, &info)) {
    std::u16string proxy = TakeText(info.lpszProxy);
    std::u16string bypass = TakeText(info.lpszProxyBypass);
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !proxy.empty())
      found = {std::move(proxy), std::move(bypass)};
  }
  api.CloseHandle(session);
  return found;
}

}  // namespace

ProxyChoice FindSystemProxy(const WinHttpApi& api, const std::u16string& url, DWORD timeoutMs) {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie{};
  ProxyChoice configured;
  std::u16string configUrl;
  if (api.GetIEProxyConfigForCurrentUser(&ie)) {
    configured.proxy = TakeText(ie.lpszProxy);
    configured.bypass = TakeText(ie.lpszProxyBypass);
    configUrl = TakeText(ie.lpszAutoConfigUrl);
  }
  // A script or auto-detection goes before the fixed setting, as in the
  // system's own settings dialog.
  ProxyChoice found = AskForUrl(api, url, configUrl, timeoutMs);
  if (found.proxy.empty()) found = std::move(configured);
  return found;
}

}  // namespace ostrel::upload
