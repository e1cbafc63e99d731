#include "crash/ui/upload/server_address.h"

#include <stdexcept>

#include "crash/base/hex.h"
#include "crash/base/utf.h"

namespace ostrel::upload {

namespace {

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

int PortNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 5)
    throw std::invalid_argument("bad port in the server address");
  int port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') throw std::invalid_argument("bad port in the server address");
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) throw std::invalid_argument("port outside 1..65535");
  return port;
}

std::string EncodedPath(std::string_view path) {
  std::string out;
  for (char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7f)
      throw std::invalid_argument("control character in the server address");
    if (b == ' ' || b >= 0x80)
      out += "%" + HexText(b, 2, true);
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string ServerAddress::Target(std::string_view suffix) const {
  std::string target = path + std::string(suffix);
  return target.empty() ? "/" : target;
}

std::string ServerAddress::Origin() const {
  std::string origin = (secure ? "https://" : "http://") + host;
  if (port != (secure ? 443 : 80)) origin += ":" + std::to_string(port);
  return origin;
}

ServerAddress ParseServerAddress(std::u16string_view configured, int port, bool secure) {
  std::string text = Utf16ToUtf8(configured);
  if (const std::size_t scheme = text.find("://"); scheme != std::string::npos)
    text.erase(0, scheme + 3);
  ServerAddress address;
  address.secure = secure;
  const std::size_t slash = text.find('/');
  std::string host = text.substr(0, slash);
  if (slash != std::string::npos) address.path = EncodedPath(text.substr(slash));
  if (port < 0 || port > 65535) throw std::invalid_argument("port outside 1..65535");
  address.port = port ? port : (secure ? 443 : 80);
  if (const std::size_t colon = host.find(':'); colon != std::string::npos) {
    address.port = PortNumber(std::string_view(host).substr(colon + 1));
    host.erase(colon);
  }
  if (host.empty()) throw std::invalid_argument("no host in the server address");
  for (char c : host)
    if (!IsHostCharacter(c))
      throw std::invalid_argument("the server address's host holds a character no host name has");
  address.host = host;
  return address;
}

}  // namespace ostrel::upload
