#pragma once
// One upload's or submission's HTTP client over an exchange: what a status
// means, one authentication round per side, redirect targets.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "crash/ui/upload/http_exchange.h"
#include "crash/ui/upload/server_address.h"

namespace ostrel::upload {

struct HttpClientSettings {
  std::u16string account, password;           // HttpAccount, HttpPassword
  std::u16string proxyUser, proxyPassword;    // the process-wide proxy credentials
  bool openRedirectTargets = true;            // the switch for the browser
  std::chrono::milliseconds timeout{120000};  // for each request
};

struct HttpResult {
  bool ok = false;
  int status = 0;
  std::string body;
  std::string location;  // a redirect's target, absolute
  std::string error;     // why it failed, for diagnosis
};

class HttpClient {
 public:
  // openTarget opens a redirect's target in the browser; it is given only
  // http and https addresses.
  HttpClient(IHttpExchange& exchange, ServerAddress server, HttpClientSettings settings,
             std::function<void(const std::string&)> openTarget = {});

  HttpResult Get(std::string target);
  HttpResult Post(std::string target, std::string contentType, std::string body,
                  std::vector<HttpHeader> headers = {});

  const ServerAddress& Server() const { return server_; }
  // The last failure's text; kept for diagnosis only.
  const std::string& LastError() const { return lastError_; }

 private:
  HttpResult Send(HttpRequest request);
  HttpResult Failed(HttpResult result, std::string error);
  std::string Absolute(const std::string& location, const std::string& target) const;

  IHttpExchange& exchange_;
  ServerAddress server_;
  HttpClientSettings settings_;
  std::function<void(const std::string&)> openTarget_;
  bool serverAuthDone_ = false, proxyAuthDone_ = false;
  std::string lastError_;
};

}  // namespace ostrel::upload
