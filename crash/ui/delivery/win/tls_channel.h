#pragma once
// A client TLS stream over a connected, non-blocking socket, by Schannel.
// Every wait has a deadline and every buffer a bound, so that a peer that
// talks forever or sends nonsense ends the stream instead of holding it.

#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "crash/ui/delivery/smtp_connection.h"

namespace ostrel::delivery {

class TTlsChannel {
 public:
  // The socket stays the caller's. `serverName` is the handshake's target
  // name (and the name the certificate must carry when it is validated).
  TTlsChannel(SOCKET socket, std::string serverName, bool validateCertificate = false);
  // Frees the context; Close() first to tell the peer.
  ~TTlsChannel();
  TTlsChannel(const TTlsChannel&) = delete;
  TTlsChannel& operator=(const TTlsChannel&) = delete;

  // The handshake (and, with validation, the certificate check); false
  // when it failed, after which the stream is of no use.
  bool Handshake(SmtpClock::time_point deadline);
  // All of `bytes`, encrypted in records of at most MaxMessage() bytes.
  bool Send(std::string_view bytes, SmtpClock::time_point deadline);
  // Decrypted bytes, as ISmtpConnection::Receive: Closed once the peer
  // ended the stream (or the socket) and nothing decrypted is left.
  ReceiveStatus Receive(char* into, std::size_t room, SmtpClock::time_point deadline,
                        std::size_t& count);
  // Sends the shutdown token (when the stream still runs) and frees the
  // context and credentials.
  void Close(SmtpClock::time_point deadline);

  bool Running() const { return running_; }
  // The largest record's payload; 0 before the handshake.
  std::size_t MaxMessage() const { return sizes_.cbMaximumMessage; }
  // The last status Schannel gave, for a diagnosis.
  SECURITY_STATUS LastStatus() const { return status_; }

 private:
  bool HandshakeLoop(SmtpClock::time_point deadline);
  bool ReadStreamSizes();
  // Appends what the socket has to the input, which holds at most `limit`.
  ReceiveStatus ReadMore(std::size_t limit, SmtpClock::time_point deadline, std::size_t& count);
  bool WithinInput(const void* data, std::size_t size) const;
  bool CertificateVerifies();
  bool Fail(SECURITY_STATUS status);
  unsigned long RequestFlags() const;
  void Release();

  SOCKET socket_;
  std::u16string target_;
  bool validate_;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool started_ = false;  // one handshake per channel
  bool haveCredentials_ = false, haveContext_ = false;
  bool suppliedCredentials_ = false;  // the server asked for a certificate; it gets none
  bool running_ = false;              // the handshake finished and nothing broke since
  bool peerClosed_ = false;           // the peer ended the stream or the socket
  SecPkgContext_StreamSizes sizes_{};
  // Received and not yet decrypted (or not yet used by the handshake).
  std::vector<char> input_;
  std::size_t inputUsed_ = 0;
  std::string plain_;  // decrypted and not yet handed out
  std::size_t plainAt_ = 0;
  SECURITY_STATUS status_ = 0;
};

}  // namespace ostrel::delivery
