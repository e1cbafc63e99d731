#include "crash/ui/upload/http_client.h"

#include <utility>

#include "crash/base/text_case.h"

namespace ostrel::upload {

namespace {

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n", 0) != std::string_view::npos ||
         text.find('\0') != std::string_view::npos;
}

}  // namespace

HttpClient::HttpClient(IHttpExchange& exchange, ServerAddress server, HttpClientSettings settings,
                       std::function<void(const std::string&)> openTarget)
    : exchange_(exchange),
      server_(std::move(server)),
      settings_(std::move(settings)),
      openTarget_(std::move(openTarget)) {}

HttpResult HttpClient::Get(std::string target) {
  return Send(HttpRequest{"GET", std::move(target), {}, {}});
}

HttpResult HttpClient::Post(std::string target, std::string contentType, std::string body,
                            std::vector<HttpHeader> headers) {
  headers.insert(headers.begin(), HttpHeader{"Content-Type", std::move(contentType)});
  return Send(HttpRequest{"POST", std::move(target), std::move(headers), std::move(body)});
}

HttpResult HttpClient::Failed(HttpResult result, std::string error) {
  result.ok = false;
  result.error = std::move(error);
  lastError_ = result.error;
  return result;
}

std::string HttpClient::Absolute(const std::string& location, const std::string& target) const {
  if (location.find("://") != std::string::npos) return location;
  if (location.starts_with("//")) return (server_.secure ? "https:" : "http:") + location;
  if (location.starts_with("/")) return server_.Origin() + location;
  const std::string folder = target.substr(0, target.find('?'));
  return server_.Origin() + folder.substr(0, folder.rfind('/') + 1) + location;
}

HttpResult HttpClient::Send(HttpRequest request) {
  HttpResult result;
  const std::string what = request.method + " " + request.target;
  if (HoldsLineBreak(request.target) || request.target.empty() || request.target[0] != '/')
    return Failed(result, "bad request target for " + what);
  for (const HttpHeader& h : request.headers)
    if (HoldsLineBreak(h.name) || HoldsLineBreak(h.value) || h.name.empty())
      return Failed(result, "header \"" + h.name + "\" would break the request");
  // At most one authentication round for each side, so a server that keeps
  // asking cannot keep us here.
  for (;;) {
    HttpResponse response;
    std::string error;
    const Deadline deadline = std::chrono::steady_clock::now() + settings_.timeout;
    if (!exchange_.Send(request, deadline, response, error))
      return Failed(result, what + ": " + error);
    result.status = response.status;
    result.body = std::move(response.body);
    if (response.status == 200) {
      result.ok = true;
      return result;
    }
    if (response.status >= 301 && response.status <= 303) {
      result.ok = true;
      const std::string* location = response.Header("Location");
      if (location == nullptr || HoldsLineBreak(*location)) return result;
      result.location = Absolute(*location, request.target);
      // Only web pages: a server must not make the reporter start programs
      // or open local files.
      const bool web = StartsWithNoCase(result.location, "http://") ||
                       StartsWithNoCase(result.location, "https://");
      if (web && settings_.openRedirectTargets && openTarget_) openTarget_(result.location);
      return result;
    }
    if (response.status == 401 && !serverAuthDone_ && !settings_.account.empty()) {
      serverAuthDone_ = true;
      response.body.clear();
      if (exchange_.Authenticate(AuthTarget::Server, response, settings_.account,
                                 settings_.password))
        continue;
    }
    if (response.status == 407 && !proxyAuthDone_ && !settings_.proxyUser.empty()) {
      proxyAuthDone_ = true;
      if (exchange_.Authenticate(AuthTarget::Proxy, response, settings_.proxyUser,
                                 settings_.proxyPassword))
        continue;
    }
    return Failed(result, what + ": HTTP status " + std::to_string(response.status));
  }
}

}  // namespace ostrel::upload
