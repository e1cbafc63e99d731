#pragma once
// A fake exchange that answers requests from a script, in order, and keeps
// every request it saw.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "crash/ui/upload/http_exchange.h"

namespace ostrel::upload::test {

struct ScriptedAnswer {
  int status = 200;
  std::string body;
  std::vector<HttpHeader> headers;
  bool noResponse = false;  // the exchange fails as a dead connection would
};

// A request's header of that name, or nullptr.
inline const std::string* RequestHeader(const HttpRequest& request, std::string_view name) {
  for (const HttpHeader& h : request.headers)
    if (SameHeaderName(h.name, name)) return &h.value;
  return nullptr;
}

class ScriptedExchange final : public IHttpExchange {
 public:
  void Answer(ScriptedAnswer answer) { script_.push_back(std::move(answer)); }
  void Answer(int status, std::string body) { script_.push_back({status, std::move(body), {}}); }

  bool Send(const HttpRequest& request, Deadline, HttpResponse& response,
            std::string& error) override {
    requests.push_back(request);
    if (script_.empty()) {
      error = "the script has no answer left";
      return false;
    }
    ScriptedAnswer next = std::move(script_.front());
    script_.pop_front();
    if (next.noResponse) {
      error = "connection reset";
      return false;
    }
    response.status = next.status;
    response.body = std::move(next.body);
    response.headers = std::move(next.headers);
    return true;
  }

  bool Authenticate(AuthTarget target, const HttpResponse&, std::u16string_view account,
                    std::u16string_view) override {
    authentications.push_back({target, std::u16string(account)});
    return acceptCredentials;
  }

  std::size_t Left() const { return script_.size(); }

  std::vector<HttpRequest> requests;
  std::vector<std::pair<AuthTarget, std::u16string>> authentications;
  bool acceptCredentials = true;

 private:
  std::deque<ScriptedAnswer> script_;
};

}  // namespace ostrel::upload::test
