#pragma once
// Answering an authentication challenge: which of the offered schemes to
// use, and the Basic one's header value.
#include <string>
#include <string_view>

#include "crash/ui/upload/http_exchange.h"

namespace ostrel::upload {

enum class AuthScheme { None, Negotiate, Ntlm, Passport, Digest, Basic };

// The first of Negotiate, NTLM, Passport, Digest and Basic that the
// response's WWW-Authenticate (server) or Proxy-Authenticate (proxy)
// headers offer.
AuthScheme PickAuthScheme(const HttpResponse& challenge, AuthTarget target);

// "Basic " + Base64 of the UTF-8 of account ":" password.
std::string BasicAuthorization(std::u16string_view account, std::u16string_view password);

}  // namespace ostrel::upload
