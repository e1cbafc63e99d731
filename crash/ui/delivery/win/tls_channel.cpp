#include "crash/ui/delivery/win/net_library.h"
#include "crash/ui/delivery/win/tls_channel.h"

#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>

#include "crash/base/utf.h"
#include "crash/ui/delivery/win/socket_wait.h"

namespace ostrel::delivery {

namespace {

// Room for the handshake's input: a certificate chain may come as one
// handshake message over several records. Anything that does not fit in
// it is no handshake this client wants.
constexpr std::size_t kHandshakeRoom = 96 * 1024;
// A peer that keeps the handshake going with ever more messages is cut off.
constexpr std::size_t kHandshakeBytes = 1024 * 1024;
// Header, payload and trailer of one record, as Schannel states them; more
// than this is not TLS.
constexpr std::size_t kRecordLimit = 64 * 1024;

SecBuffer Buffer(unsigned long type, void* data, std::size_t size) {
  SecBuffer b;
  b.BufferType = type;
  b.pvBuffer = data;
  b.cbBuffer = static_cast<unsigned long>(size);
  return b;
}

SecBufferDesc Descriptor(SecBuffer* buffers, unsigned long count) {
  SecBufferDesc d;
  d.ulVersion = SECBUFFER_VERSION;
  d.cBuffers = count;
  d.pBuffers = buffers;
  return d;
}

// A record's buffer of the given type, or none.
SecBuffer* Find(SecBuffer* buffers, int count, unsigned long type) {
  for (int i = 0; i < count; ++i)
    if (buffers[i].BufferType == type) return &buffers[i];
  return nullptr;
}

}  // namespace

TTlsChannel::TTlsChannel(SOCKET socket, std::string serverName, bool validateCertificate)
    : socket_(socket), target_(Utf8ToUtf16(serverName)), validate_(validateCertificate) {}

TTlsChannel::~TTlsChannel() { Release(); }

unsigned long TTlsChannel::RequestFlags() const {
  unsigned long flags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                        ISC_REQ_EXTENDED_ERROR | ISC_REQ_STREAM | ISC_REQ_ALLOCATE_MEMORY;
  if (!validate_) flags |= ISC_REQ_MANUAL_CRED_VALIDATION;
  if (suppliedCredentials_) flags |= ISC_REQ_USE_SUPPLIED_CREDS;
  return flags;
}

bool TTlsChannel::Fail(SECURITY_STATUS status) {
  status_ = status;
  running_ = false;
  return false;
}

bool TTlsChannel::Handshake(SmtpClock::time_point deadline) {
  if (started_) return false;
  started_ = true;
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  // No certificate of the user's goes to a mail server; without validation
  // Schannel must not check the server's certificate on its own either.
  cred.dwFlags = SCH_CRED_NO_DEFAULT_CREDS;
  if (!validate_) cred.dwFlags |= SCH_CRED_MANUAL_CRED_VALIDATION;
  TimeStamp expiry;
  SECURITY_STATUS status = net::AcquireCredentialsHandleW(
      nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr,
      nullptr, &credentials_, &expiry);
  if (status != SEC_E_OK) return Fail(status);
  haveCredentials_ = true;
  inputUsed_ = 0;
  if (!HandshakeLoop(deadline) || !ReadStreamSizes()) return false;
  if (validate_ && !CertificateVerifies()) return Fail(SEC_E_CERT_UNKNOWN);
  running_ = true;
  return true;
}

bool TTlsChannel::ReadStreamSizes() {
  const SECURITY_STATUS status =
      net::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
  if (status != SEC_E_OK) return Fail(status);
  const std::size_t record =
      std::size_t{sizes_.cbHeader} + sizes_.cbMaximumMessage + sizes_.cbTrailer;
  if (sizes_.cbMaximumMessage == 0 || sizes_.cbHeader > kRecordLimit ||
      sizes_.cbTrailer > kRecordLimit || sizes_.cbMaximumMessage > kRecordLimit ||
      record > kRecordLimit)
    return Fail(SEC_E_INTERNAL_ERROR);
  return true;
}

bool TTlsChannel::HandshakeLoop(SmtpClock::time_point deadline) {
  // The input held now (leftover of a record, a renegotiation's message)
  // goes in first; more is read only when Schannel asks for it.
  bool needInput = false;
  std::size_t received = 0;
  int credentialTries = 0;
  while (true) {
    if (SmtpClock::now() >= deadline && !needInput) return Fail(SEC_E_INCOMPLETE_MESSAGE);
    if (needInput) {
      std::size_t count = 0;
      if (ReadMore(kHandshakeRoom, deadline, count) != ReceiveStatus::Data)
        return Fail(SEC_E_INCOMPLETE_MESSAGE);
      received += count;
      if (received > kHandshakeBytes) return Fail(SEC_E_ILLEGAL_MESSAGE);
      needInput = false;
    }
    SecBuffer in[2] = {Buffer(SECBUFFER_TOKEN, input_.data(), inputUsed_),
                       Buffer(SECBUFFER_EMPTY, nullptr, 0)};
    SecBufferDesc inDesc = Descriptor(in, 2);
    SecBuffer out[1] = {Buffer(SECBUFFER_TOKEN, nullptr, 0)};
    SecBufferDesc outDesc = Descriptor(out, 1);
    unsigned long attributes = 0;
    TimeStamp expiry;
    wchar_t* target = reinterpret_cast<wchar_t*>(target_.data());
    const bool first = !haveContext_;
    const std::size_t given = inputUsed_;
    const SECURITY_STATUS status = net::InitializeSecurityContextW(
        &credentials_, first ? nullptr : &context_, target, RequestFlags(), 0, 0,
        first ? nullptr : &inDesc, 0, &context_, &outDesc, &attributes, &expiry);
    if (first && !FAILED(status)) haveContext_ = true;

    const bool tokenToSend = status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
                             (FAILED(status) && (attributes & ISC_RET_EXTENDED_ERROR));
    if (out[0].pvBuffer) {
      // The peer hears why the handshake failed, then the handshake ends.
      const bool sent =
          !tokenToSend || out[0].cbBuffer == 0 ||
          SendAllBytes(socket_,
                       std::string_view(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer),
                       deadline);
      net::FreeContextBuffer(out[0].pvBuffer);
      if (!sent) return Fail(SEC_E_INTERNAL_ERROR);
    }

    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      needInput = true;
      continue;
    }
    if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
      // The server asks for a client certificate; go on without one.
      if (++credentialTries > 2) return Fail(status);
      suppliedCredentials_ = true;
      continue;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return Fail(status);
    // Schannel used all input but what SECBUFFER_EXTRA says is left at its end.
    const SecBuffer* extra = first ? nullptr : Find(in, 2, SECBUFFER_EXTRA);
    if (extra && extra->cbBuffer > 0 && extra->cbBuffer <= inputUsed_) {
      std::memmove(input_.data(), input_.data() + (inputUsed_ - extra->cbBuffer), extra->cbBuffer);
      inputUsed_ = extra->cbBuffer;
    } else if (!first) {
      inputUsed_ = 0;
    }
    if (status == SEC_E_OK) return true;
    // Nothing used: the same input again would give the same answer.
    needInput = inputUsed_ == 0 || inputUsed_ == given;
  }
}

ReceiveStatus TTlsChannel::ReadMore(std::size_t limit, SmtpClock::time_point deadline,
                                    std::size_t& count) {
  // Full and still incomplete: a record larger than TLS allows.
  if (inputUsed_ >= limit) return ReceiveStatus::Failed;
  if (input_.size() < limit) input_.resize(limit);
  const ReceiveStatus status =
      ReceiveSomeBytes(socket_, input_.data() + inputUsed_, limit - inputUsed_, deadline, count);
  if (status == ReceiveStatus::Data) inputUsed_ += count;
  if (status == ReceiveStatus::Closed) peerClosed_ = true;
  return status;
}

bool TTlsChannel::WithinInput(const void* data, std::size_t size) const {
  const char* at = static_cast<const char*>(data);
  const char* begin = input_.data();
  return at && at >= begin && size <= inputUsed_ &&
         at - begin <= static_cast<std::ptrdiff_t>(inputUsed_ - size);
}

bool TTlsChannel::CertificateVerifies() {
  PCCERT_CONTEXT certificate = nullptr;
  if (net::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
          SEC_E_OK ||
      !certificate)
    return false;
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  bool verifies =
      net::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0,
                                   nullptr, &chain) &&
      chain;
  if (verifies) {
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = reinterpret_cast<wchar_t*>(target_.data());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof result;
    verifies =
        net::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result) &&
        result.dwError == 0;
    net::CertFreeCertificateChain(chain);
  }
  net::CertFreeCertificateContext(certificate);
  return verifies;
}

bool TTlsChannel::Send(std::string_view bytes, SmtpClock::time_point deadline) {
  if (!running_) return false;
  const std::size_t header = sizes_.cbHeader, most = sizes_.cbMaximumMessage,
                    trailer = sizes_.cbTrailer;
  std::vector<char> record(header + most + trailer);
  while (!bytes.empty()) {
    const std::size_t piece = std::min(bytes.size(), most);
    std::memcpy(record.data() + header, bytes.data(), piece);
    SecBuffer b[4] = {Buffer(SECBUFFER_STREAM_HEADER, record.data(), header),
                      Buffer(SECBUFFER_DATA, record.data() + header, piece),
                      Buffer(SECBUFFER_STREAM_TRAILER, record.data() + header + piece, trailer),
                      Buffer(SECBUFFER_EMPTY, nullptr, 0)};
    SecBufferDesc desc = Descriptor(b, 4);
    const SECURITY_STATUS status = net::EncryptMessage(&context_, 0, &desc, 0);
    if (status != SEC_E_OK) return Fail(status);
    if (b[0].cbBuffer > header || b[1].cbBuffer > piece || b[2].cbBuffer > trailer)
      return Fail(SEC_E_INTERNAL_ERROR);
    // The record goes out as header, data and trailer back to back.
    std::size_t size = b[0].cbBuffer;
    std::memmove(record.data() + size, b[1].pvBuffer, b[1].cbBuffer);
    size += b[1].cbBuffer;
    std::memmove(record.data() + size, b[2].pvBuffer, b[2].cbBuffer);
    size += b[2].cbBuffer;
    if (!SendAllBytes(socket_, std::string_view(record.data(), size), deadline))
      return Fail(SEC_E_INTERNAL_ERROR);
    bytes.remove_prefix(piece);
  }
  return true;
}

ReceiveStatus TTlsChannel::Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                                   std::size_t& count) {
  while (true) {
    if (plainAt_ < plain_.size()) {
      if (room == 0) return ReceiveStatus::Failed;
      count = std::min(room, plain_.size() - plainAt_);
      std::memcpy(into, plain_.data() + plainAt_, count);
      plainAt_ += count;
      return ReceiveStatus::Data;
    }
    plain_.clear();
    plainAt_ = 0;
    if (!running_) return peerClosed_ ? ReceiveStatus::Closed : ReceiveStatus::Failed;

    if (inputUsed_ > 0) {
      SecBuffer b[4] = {Buffer(SECBUFFER_DATA, input_.data(), inputUsed_),
                        Buffer(SECBUFFER_EMPTY, nullptr, 0), Buffer(SECBUFFER_EMPTY, nullptr, 0),
                        Buffer(SECBUFFER_EMPTY, nullptr, 0)};
      SecBufferDesc desc = Descriptor(b, 4);
      const std::size_t given = inputUsed_;
      const SECURITY_STATUS status = net::DecryptMessage(&context_, &desc, 0, nullptr);
      if (status != SEC_E_INCOMPLETE_MESSAGE) {
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
          Fail(status);
          return ReceiveStatus::Failed;
        }
        // Decrypted in place: taken before the leftover moves over it.
        const SecBuffer* data = Find(b, 4, SECBUFFER_DATA);
        if (data && data->cbBuffer > 0 && WithinInput(data->pvBuffer, data->cbBuffer))
          plain_.assign(static_cast<const char*>(data->pvBuffer), data->cbBuffer);
        const SecBuffer* extra = Find(b, 4, SECBUFFER_EXTRA);
        if (extra && extra->cbBuffer > 0 && extra->cbBuffer <= inputUsed_) {
          std::memmove(input_.data(), input_.data() + (inputUsed_ - extra->cbBuffer),
                       extra->cbBuffer);
          inputUsed_ = extra->cbBuffer;
        } else {
          inputUsed_ = 0;
        }
        if (status == SEC_E_OK && plain_.empty() && inputUsed_ == given) {
          // A record that yields nothing and uses nothing would be decrypted
          // again and again.
          Fail(SEC_E_INTERNAL_ERROR);
          return ReceiveStatus::Failed;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) {
          // The peer's close_notify: what was decrypted before it still counts.
          peerClosed_ = true;
          running_ = false;
        } else if (status == SEC_I_RENEGOTIATE) {
          if (!HandshakeLoop(deadline) || !ReadStreamSizes()) {
            plain_.clear();
            return ReceiveStatus::Failed;
          }
        }
        if (!plain_.empty()) continue;
        if (!running_) return ReceiveStatus::Closed;
        // Empty records must not keep the caller past its deadline.
        if (SmtpClock::now() >= deadline) return ReceiveStatus::TimedOut;
        continue;
      }
    }

    const std::size_t recordRoom =
        std::size_t{sizes_.cbHeader} + sizes_.cbMaximumMessage + sizes_.cbTrailer;
    std::size_t got = 0;
    const ReceiveStatus status = ReadMore(recordRoom, deadline, got);
    if (status == ReceiveStatus::Data) continue;
    if (status == ReceiveStatus::TimedOut) return status;
    // Closed without close_notify (perhaps in the middle of a record): the
    // stream ends all the same; SMTP's own end tells whether it was whole.
    running_ = false;
    if (status == ReceiveStatus::Failed) status_ = SEC_E_INCOMPLETE_MESSAGE;
    return status;
  }
}

void TTlsChannel::Close(SmtpClock::time_point deadline) {
  if (running_ && haveContext_) {
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control[1] = {Buffer(SECBUFFER_TOKEN, &type, sizeof type)};
    SecBufferDesc controlDesc = Descriptor(control, 1);
    if (net::ApplyControlToken(&context_, &controlDesc) == SEC_E_OK) {
      SecBuffer out[1] = {Buffer(SECBUFFER_TOKEN, nullptr, 0)};
      SecBufferDesc outDesc = Descriptor(out, 1);
      unsigned long attributes = 0;
      TimeStamp expiry;
      const SECURITY_STATUS status = net::InitializeSecurityContextW(
          &credentials_, &context_, reinterpret_cast<wchar_t*>(target_.data()), RequestFlags(), 0,
          0, nullptr, 0, &context_, &outDesc, &attributes, &expiry);
      if (out[0].pvBuffer) {
        if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && out[0].cbBuffer > 0)
          SendAllBytes(socket_,
                       std::string_view(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer),
                       deadline);
        net::FreeContextBuffer(out[0].pvBuffer);
      }
    }
  }
  running_ = false;
  Release();
}

void TTlsChannel::Release() {
  if (haveContext_) net::DeleteSecurityContext(&context_);
  if (haveCredentials_) net::FreeCredentialsHandle(&credentials_);
  haveContext_ = haveCredentials_ = false;
}

}  // namespace ostrel::delivery
