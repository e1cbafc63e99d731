#pragma once
// The uploads' exchange over WinHTTP: one connection to the server for the
// exchange's life, each request bounded by its deadline, redirects left to
// the client, the system's proxy looked for once when the server cannot be
// reached directly.
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "crash/ui/upload/http_exchange.h"
#include "crash/ui/upload/server_address.h"
#include "crash/ui/upload/win/winhttp_api.h"

namespace ostrel::upload {

class WinHttpCompletion;

// The process-wide network settings.
struct WinHttpSettings {
  std::u16string proxy;        // WinHTTP's proxy list; empty: none configured
  std::u16string proxyBypass;  // empty: none
  std::u16string proxyUser, proxyPassword;
  bool ignoreCertificateErrors = true;
};

class TWinHttpExchange final : public IHttpExchange {
 public:
  TWinHttpExchange(ServerAddress server, WinHttpSettings settings);
  ~TWinHttpExchange() override;
  TWinHttpExchange(const TWinHttpExchange&) = delete;
  TWinHttpExchange& operator=(const TWinHttpExchange&) = delete;

  bool Send(const HttpRequest& request, Deadline deadline, HttpResponse& response,
            std::string& error) override;
  bool Authenticate(AuthTarget target, const HttpResponse& challenge, std::u16string_view account,
                    std::u16string_view password) override;

 private:
  struct Credentials {
    DWORD scheme = 0;  // WINHTTP_AUTH_SCHEME_*, 0 while there is none
    std::u16string account, password;
  };

  bool Connect(std::string& error);
  // One request on a handle of its own. sendError is WinHTTP's reason when
  // the request could not be sent at all.
  bool Attempt(const HttpRequest& request, Deadline deadline, HttpResponse& response,
               std::string& error, DWORD& sendError);
  bool Prepare(HINTERNET request, const HttpRequest& what, Deadline deadline, std::string& error);
  void SetCredentials(HINTERNET request, DWORD target, const Credentials& credentials);

  ServerAddress server_;
  WinHttpSettings settings_;
  const WinHttpApi* api_;
  HINTERNET session_ = nullptr, connection_ = nullptr;
  // Told when the session's handle has closed for good.
  WinHttpCompletion* sessionClosed_ = nullptr;
  bool proxySearched_ = false;
  std::u16string foundProxy_, foundBypass_;
  Credentials serverCredentials_, proxyCredentials_;
};

}  // namespace ostrel::upload
