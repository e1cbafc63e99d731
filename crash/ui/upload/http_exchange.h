#pragma once
// The seam between the uploads and the network: one request, one complete
// response. WinHTTP stands behind it in the program, a socket in the tests.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::upload {

struct HttpHeader {
  std::string name;
  std::string value;
};

struct HttpRequest {
  std::string method;  // "GET" or "POST"
  std::string target;  // path and query, from "/"
  std::vector<HttpHeader> headers;
  std::string body;
};

struct HttpResponse {
  int status = 0;
  std::vector<HttpHeader> headers;
  std::string body;
  // The first header of that name (compared without regard to case), or
  // nullptr.
  const std::string* Header(std::string_view name) const;
};

enum class AuthTarget { Server, Proxy };

using Deadline = std::chrono::steady_clock::time_point;

// The user agent every request names.
inline constexpr char kUserAgent[] = "Ostrel/4.0";

class IHttpExchange {
 public:
  virtual ~IHttpExchange() = default;
  // Sends the request to the client's server and reads the whole response.
  // False, with a reason in error, when no complete response came by the
  // deadline. The exchange adds Host, User-Agent, Content-Length and the
  // credentials it has been given.
  virtual bool Send(const HttpRequest& request, Deadline deadline, HttpResponse& response,
                    std::string& error) = 0;
  // After a 401 (server) or 407 (proxy): takes the credentials for the
  // following requests, with a scheme the challenge offers. False when it
  // can use none of them.
  virtual bool Authenticate(AuthTarget target, const HttpResponse& challenge,
                            std::u16string_view account, std::u16string_view password) = 0;
};

bool SameHeaderName(std::string_view a, std::string_view b);

}  // namespace ostrel::upload
