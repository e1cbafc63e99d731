#pragma once
// The configured server address (`HttpServer`) as the HTTP client uses it:
// host, path, port and whether requests are secure.
#include <string>
#include <string_view>

namespace ostrel::upload {

struct ServerAddress {
  std::string host;
  std::string path;  // "" or from "/"
  int port = 80;
  bool secure = false;

  // The request target for the path followed by suffix; "/" when both are
  // empty.
  std::string Target(std::string_view suffix = {}) const;
  // "http://host" or "https://host", with ":port" unless it is the default.
  std::string Origin() const;
};

// Any prefix up to "://" goes; the rest splits at the first "/" into host
// and path. A port written after the host ("host:8080") wins over `port`;
// a port of 0 means the scheme's default. The path's blanks and bytes
// beyond ASCII are percent-encoded. Throws std::invalid_argument, with the
// reason, for an empty or malformed host, a port outside 1..65535 or a
// control character.
ServerAddress ParseServerAddress(std::u16string_view configured, int port, bool secure);

}  // namespace ostrel::upload
