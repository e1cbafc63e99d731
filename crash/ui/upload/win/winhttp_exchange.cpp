#include "crash/ui/upload/win/winhttp_exchange.h"

#include <algorithm>
#include <cstring>

#include "crash/base/utf.h"
#include "crash/base/win/wide_text.h"
#include "crash/ui/upload/header_block.h"
#include "crash/ui/upload/http_auth.h"
#include "crash/ui/upload/http_response_parser.h"
#include "crash/ui/upload/win/proxy_discovery.h"
#include "crash/ui/upload/win/winhttp_completion.h"

namespace ostrel::upload {

namespace {

constexpr char kNoTime[] = "no complete answer by the deadline";

DWORD SchemeFlag(AuthScheme scheme) {
  switch (scheme) {
    case AuthScheme::Negotiate:
      return WINHTTP_AUTH_SCHEME_NEGOTIATE;
    case AuthScheme::Ntlm:
      return WINHTTP_AUTH_SCHEME_NTLM;
    case AuthScheme::Passport:
      return WINHTTP_AUTH_SCHEME_PASSPORT;
    case AuthScheme::Digest:
      return WINHTTP_AUTH_SCHEME_DIGEST;
    case AuthScheme::Basic:
      return WINHTTP_AUTH_SCHEME_BASIC;
    case AuthScheme::None:
      break;
  }
  return 0;
}

bool SetNumber(const WinHttpApi& api, HINTERNET handle, DWORD option, DWORD value) {
  return api.SetOption(handle, option, &value, sizeof value) != FALSE;
}

// WinHTTP takes a text option's length in characters.
bool SetText(const WinHttpApi& api, HINTERNET handle, DWORD option, const std::u16string& text) {
  return api.SetOption(handle, option, const_cast<wchar_t*>(WidePtr(text)),
                       static_cast<DWORD>(text.size())) != FALSE;
}

LPWSTR OptionalText(const std::u16string& text) {
  return text.empty() ? nullptr : const_cast<wchar_t*>(WidePtr(text));
}

bool SaysLength(const std::string& value, std::size_t length) {
  if (value.empty() || value.size() > 19 ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  return std::stoull(value) == length;
}

// The request's handle and its completion object, let go of together.
struct RequestScope {
  const WinHttpApi& api;
  HINTERNET handle;
  WinHttpCompletion* completion;
  ~RequestScope() {
    api.CloseHandle(handle);
    if (completion != nullptr) completion->Release();
  }
};

}  // namespace

TWinHttpExchange::TWinHttpExchange(ServerAddress server, WinHttpSettings settings)
    : server_(std::move(server)), settings_(std::move(settings)), api_(LoadWinHttp()) {}

TWinHttpExchange::~TWinHttpExchange() {
  if (connection_ != nullptr) api_->CloseHandle(connection_);
  if (session_ != nullptr) {
    if (sessionClosed_ != nullptr) sessionClosed_->Arm();
    api_->CloseHandle(session_);
    // WinHTTP's threads work on until the session's closing notice; a
    // program that ends right after a delivery must not end under them.
    if (sessionClosed_ != nullptr)
      sessionClosed_->Wait(std::chrono::steady_clock::now() + std::chrono::seconds(2));
  }
  if (sessionClosed_ != nullptr) sessionClosed_->Release();
}

bool TWinHttpExchange::Connect(std::string& error) {
  if (connection_ != nullptr) return true;
  const WinHttpApi& api = *api_;
  if (session_ == nullptr) {
    const std::wstring agent = Wide(AsciiToUtf16(kUserAgent));
    // Asynchronous, so that no server can hold a request past its deadline.
    HINTERNET session = api.Open(agent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (session == nullptr) {
      error = WinHttpErrorText(api, GetLastError());
      return false;
    }
    if (api.SetStatusCallback(session, &WinHttpCompletion::Callback,
                              WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                              0) == WINHTTP_INVALID_STATUS_CALLBACK) {
      error = WinHttpErrorText(api, GetLastError());
      api.CloseHandle(session);
      return false;
    }
    // Older systems offer TLS 1.0 only unless asked for more; one that
    // knows neither keeps its own choice.
    if (!SetNumber(api, session, WINHTTP_OPTION_SECURE_PROTOCOLS,
                   WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3))
      SetNumber(api, session, WINHTTP_OPTION_SECURE_PROTOCOLS, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2);
    session_ = session;
  }
  const std::wstring host = Wide(Utf8ToUtf16(server_.host));
  connection_ = api.Connect(session_, host.c_str(), static_cast<INTERNET_PORT>(server_.port), 0);
  if (connection_ == nullptr) {
    error = WinHttpErrorText(api, GetLastError());
    return false;
  }
  // Only now: handles made before take no context from the session.
  if (sessionClosed_ == nullptr && (sessionClosed_ = WinHttpCompletion::Create()) != nullptr) {
    sessionClosed_->AddRef();  // the session handle's, let go of at its closing notice
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(sessionClosed_);
    if (!api.SetOption(session_, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
      sessionClosed_->Release();
      sessionClosed_->Release();
      sessionClosed_ = nullptr;
    }
  }
  return true;
}

void TWinHttpExchange::SetCredentials(HINTERNET request, DWORD target,
                                      const Credentials& credentials) {
  // Schemes that need the server's challenge may refuse before the first
  // answer; they are set again once it has come.
  if (credentials.scheme != 0)
    api_->SetCredentials(request, target, credentials.scheme, WidePtr(credentials.account),
                         WidePtr(credentials.password), nullptr);
}

bool TWinHttpExchange::Prepare(HINTERNET request, const HttpRequest& what, Deadline deadline,
                               std::string& error) {
  const WinHttpApi& api = *api_;
  const auto failed = [&](const char* what) {
    error = std::string(what) + ": " + WinHttpErrorText(api, GetLastError());
    return false;
  };
  const DWORD left = MillisecondsLeft(deadline);
  if (left == 0) {
    error = kNoTime;
    return false;
  }
  const int t = static_cast<int>(left);
  if (!api.SetTimeouts(request, t, t, t, t)) return failed("setting the timeouts");
  // Redirects are the client's to judge: it opens them or not, never
  // follows them.
  const bool never =
      SetNumber(api, request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
  if (!SetNumber(api, request, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS) && !never)
    return failed("turning redirects off");
  const HttpLimits limits;
  // Systems before Vista lack the option and keep their own limit.
  SetNumber(api, request, WINHTTP_OPTION_MAX_RESPONSE_HEADER_SIZE,
            static_cast<DWORD>(limits.maxHeaderBytes + limits.maxLine));
  if (server_.secure && settings_.ignoreCertificateErrors &&
      !SetNumber(api, request, WINHTTP_OPTION_SECURITY_FLAGS,
                 SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                     SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                     SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE))
    return failed("ignoring certificate errors");
  const bool configured = !settings_.proxy.empty();
  const std::u16string& proxy = configured ? settings_.proxy : foundProxy_;
  if (!proxy.empty()) {
    WINHTTP_PROXY_INFO info{};
    info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info.lpszProxy = OptionalText(proxy);
    info.lpszProxyBypass = OptionalText(configured ? settings_.proxyBypass : foundBypass_);
    if (!api.SetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info))
      return failed("setting the proxy");
    if (!settings_.proxyUser.empty() &&
        (!SetText(api, request, WINHTTP_OPTION_PROXY_USERNAME, settings_.proxyUser) ||
         !SetText(api, request, WINHTTP_OPTION_PROXY_PASSWORD, settings_.proxyPassword)))
      return failed("setting the proxy's credentials");
  }
  SetCredentials(request, WINHTTP_AUTH_TARGET_SERVER, serverCredentials_);
  SetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, proxyCredentials_);
  // The client's headers are ASCII; any other byte goes as the character
  // of the same value.
  std::u16string headers;
  for (const HttpHeader& h : what.headers)
    headers += AsciiToUtf16(h.name) + u": " + AsciiToUtf16(h.value) + u"\r\n";
  if (!headers.empty() &&
      !api.AddRequestHeaders(request, WidePtr(headers), static_cast<DWORD>(headers.size()),
                             WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
    return failed("adding the headers");
  return true;
}

bool TWinHttpExchange::Attempt(const HttpRequest& what, Deadline deadline, HttpResponse& response,
                               std::string& error, DWORD& sendError) {
  const WinHttpApi& api = *api_;
  sendError = 0;
  const auto failedWith = [&](DWORD code) {
    error = WinHttpErrorText(api, code);
    return false;
  };
  if (static_cast<unsigned long long>(what.body.size()) >= 0xffffffffull) {
    error = "the request is too large";
    return false;
  }
  const DWORD total = static_cast<DWORD>(what.body.size());
  const std::wstring method = Wide(AsciiToUtf16(what.method));
  const std::wstring target = Wide(AsciiToUtf16(what.target));
  HINTERNET handle =
      api.OpenRequest(connection_, method.c_str(), target.c_str(), nullptr, WINHTTP_NO_REFERER,
                      WINHTTP_DEFAULT_ACCEPT_TYPES, server_.secure ? WINHTTP_FLAG_SECURE : 0);
  if (handle == nullptr) return failedWith(GetLastError());
  WinHttpCompletion* completion = WinHttpCompletion::Create();
  const RequestScope scope{api, handle, completion};
  if (completion == nullptr) return failedWith(GetLastError());
  // The handle's own reference, let go of at its closing notice.
  completion->AddRef();
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(completion);
  if (!api.SetOption(handle, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
    completion->Release();
    return failedWith(GetLastError());
  }
  if (!Prepare(handle, what, deadline, error)) return false;

  using Kind = WinHttpCompletion::Kind;
  const auto await = [&](Kind wanted) {
    const Kind got = completion->Wait(deadline);
    if (got == wanted) return true;
    if (got == Kind::Failed)
      error = WinHttpErrorText(api, completion->Error());
    else
      error = got == Kind::None ? kNoTime : "WinHTTP completed out of turn";
    return false;
  };

  DWORD status = 0;
  bool serverAgain = false, proxyAgain = false;
  for (;;) {
    completion->Arm();
    if (!api.SendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                         total, 0)) {
      sendError = GetLastError();
      return failedWith(sendError);
    }
    if (!await(Kind::Sent)) {
      sendError = completion->Error();
      return false;
    }
    // In pieces, where progress can be told.
    for (std::size_t offset = 0; offset < what.body.size();) {
      const DWORD piece = static_cast<DWORD>(
          std::min<std::size_t>(WinHttpCompletion::kBufferSize, what.body.size() - offset));
      std::memcpy(completion->Buffer(), what.body.data() + offset, piece);
      completion->Arm();
      if (!api.WriteData(handle, completion->Buffer(), piece, nullptr))
        return failedWith(GetLastError());
      if (!await(Kind::Written)) return false;
      if (completion->Bytes() == 0 || completion->Bytes() > piece) {
        error = "WinHTTP did not write the request's body";
        return false;
      }
      offset += completion->Bytes();
    }
    completion->Arm();
    if (!api.ReceiveResponse(handle, nullptr)) return failedWith(GetLastError());
    if (!await(Kind::Headers)) return false;
    DWORD size = sizeof status;
    if (!api.QueryHeaders(handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                          WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
      return failedWith(GetLastError());
    // NTLM, Negotiate and Digest answer the challenge on this handle: once
    // for each side, the credentials set again and the request sent again.
    if (status == 401 && serverCredentials_.scheme != 0 && !serverAgain) {
      serverAgain = true;
      SetCredentials(handle, WINHTTP_AUTH_TARGET_SERVER, serverCredentials_);
      continue;
    }
    if (status == 407 && proxyCredentials_.scheme != 0 && !proxyAgain) {
      proxyAgain = true;
      SetCredentials(handle, WINHTTP_AUTH_TARGET_PROXY, proxyCredentials_);
      continue;
    }
    break;
  }

  const HttpLimits limits;
  HttpResponse got;
  got.status = static_cast<int>(status);
  DWORD bytes = 0;
  if (!api.QueryHeaders(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return failedWith(GetLastError());
  if (bytes / sizeof(wchar_t) > limits.maxHeaderBytes + limits.maxLine + 4) {
    error = "the response's headers are too long";
    return false;
  }
  std::wstring raw(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(raw.size() * sizeof(wchar_t));
  if (!api.QueryHeaders(handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        raw.data(), &bytes, WINHTTP_NO_HEADER_INDEX))
    return failedWith(GetLastError());
  raw.resize(std::min<std::size_t>(raw.size(), bytes / sizeof(wchar_t)));
  if (!ReadHeaderBlock(Utf16ToUtf8(FromWide(raw)), limits, got.headers, error)) return false;

  for (;;) {
    completion->Arm();
    if (!api.QueryDataAvailable(handle, nullptr)) return failedWith(GetLastError());
    if (!await(Kind::DataAvailable)) return false;
    const DWORD available = completion->Bytes();
    if (available == 0) break;
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(available, WinHttpCompletion::kBufferSize));
    completion->Arm();
    if (!api.ReadData(handle, completion->Buffer(), wanted, nullptr))
      return failedWith(GetLastError());
    if (!await(Kind::Read)) return false;
    const DWORD read = completion->Bytes();
    if (read == 0) break;
    if (read > wanted || got.body.size() + read > limits.maxBody) {
      error = "the response's body is too large";
      return false;
    }
    got.body.append(completion->Buffer(), read);
  }
  // WinHTTP may take a connection that ends early for the body's end: a
  // shortened body is no answer.
  const std::string* length = got.Header("Content-Length");
  if (length != nullptr && got.Header("Transfer-Encoding") == nullptr && got.status != 204 &&
      got.status != 304 && !SaysLength(*length, got.body.size())) {
    error = "the connection ended before the response did";
    return false;
  }
  response = std::move(got);
  return true;
}

bool TWinHttpExchange::Send(const HttpRequest& request, Deadline deadline, HttpResponse& response,
                            std::string& error) {
  if (api_ == nullptr) {
    error = "WinHTTP is not available";
    return false;
  }
  if (!Connect(error)) return false;
  DWORD sendError = 0;
  if (Attempt(request, deadline, response, error, sendError)) return true;
  // A server out of reach may be behind a proxy the system knows of; a
  // secure channel that failed would fail the same way through one.
  const bool direct = settings_.proxy.empty() && foundProxy_.empty();
  if (sendError == 0 || sendError == ERROR_WINHTTP_SECURE_FAILURE || !direct || proxySearched_)
    return false;
  proxySearched_ = true;
  const DWORD left = MillisecondsLeft(deadline);
  if (left == 0) return false;
  const ProxyChoice found =
      FindSystemProxy(*api_, Utf8ToUtf16(server_.Origin() + request.target), left);
  if (found.proxy.empty()) return false;
  foundProxy_ = found.proxy;
  foundBypass_ = found.bypass;
  std::string again;
  if (Attempt(request, deadline, response, again, sendError)) return true;
  error += "; through the system's proxy: " + again;
  return false;
}

bool TWinHttpExchange::Authenticate(AuthTarget target, const HttpResponse& challenge,
                                    std::u16string_view account, std::u16string_view password) {
  if (api_ == nullptr || account.empty()) return false;
  const DWORD scheme = SchemeFlag(PickAuthScheme(challenge, target));
  if (scheme == 0) return false;
  (target == AuthTarget::Server ? serverCredentials_ : proxyCredentials_) =
      Credentials{scheme, std::u16string(account), std::u16string(password)};
  return true;
}

}  // namespace ostrel::upload
