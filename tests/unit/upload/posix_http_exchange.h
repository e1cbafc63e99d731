#pragma once
// The exchange over a plain POSIX socket, for tests against local peers:
// one connection per request, the response read with the strict parser,
// Basic authentication the only scheme it can answer.
#include <string>

#include "crash/ui/upload/http_exchange.h"
#include "crash/ui/upload/http_response_parser.h"
#include "crash/ui/upload/server_address.h"

namespace ostrel::upload::test {

class PosixHttpExchange final : public IHttpExchange {
 public:
  explicit PosixHttpExchange(ServerAddress server, HttpLimits limits = {})
      : server_(std::move(server)), limits_(limits) {}

  bool Send(const HttpRequest& request, Deadline deadline, HttpResponse& response,
            std::string& error) override;
  bool Authenticate(AuthTarget target, const HttpResponse& challenge, std::u16string_view account,
                    std::u16string_view password) override;

 private:
  ServerAddress server_;
  HttpLimits limits_;
  std::string authorization_;
};

}  // namespace ostrel::upload::test
