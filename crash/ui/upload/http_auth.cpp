#include "crash/ui/upload/http_auth.h"

#include "crash/base/utf.h"
#include "crash/ui/delivery/base64.h"

namespace ostrel::upload {

namespace {

AuthScheme SchemeNamed(std::string_view name) {
  if (SameHeaderName(name, "Negotiate")) return AuthScheme::Negotiate;
  if (SameHeaderName(name, "NTLM")) return AuthScheme::Ntlm;
  if (SameHeaderName(name, "Passport1.4")) return AuthScheme::Passport;
  if (SameHeaderName(name, "Digest")) return AuthScheme::Digest;
  if (SameHeaderName(name, "Basic")) return AuthScheme::Basic;
  return AuthScheme::None;
}

// The schemes one header value offers: every comma-separated piece (outside
// quoted strings) whose first word is not a parameter ("name=value").
void CollectSchemes(std::string_view value, bool offered[6]) {
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= value.size(); ++i) {
    if (i < value.size() && value[i] == '"') quoted = !quoted;
    if (i < value.size() && (quoted || value[i] != ',')) continue;
    std::string_view piece = value.substr(start, i - start);
    start = i + 1;
    while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\t'))
      piece.remove_prefix(1);
    const std::string_view word = piece.substr(0, piece.find_first_of(" \t"));
    if (word.find('=') != std::string_view::npos) continue;
    offered[static_cast<int>(SchemeNamed(word))] = true;
  }
}

}  // namespace

AuthScheme PickAuthScheme(const HttpResponse& challenge, AuthTarget target) {
  const char* header = target == AuthTarget::Server ? "WWW-Authenticate" : "Proxy-Authenticate";
  bool offered[6] = {};
  for (const HttpHeader& h : challenge.headers)
    if (SameHeaderName(h.name, header)) CollectSchemes(h.value, offered);
  for (AuthScheme s : {AuthScheme::Negotiate, AuthScheme::Ntlm, AuthScheme::Passport,
                       AuthScheme::Digest, AuthScheme::Basic})
    if (offered[static_cast<int>(s)]) return s;
  return AuthScheme::None;
}

std::string BasicAuthorization(std::u16string_view account, std::u16string_view password) {
  return "Basic " + delivery::EncodeBase64(
                        Utf16ToUtf8(std::u16string(account) + u":" + std::u16string(password)));
}

}  // namespace ostrel::upload
