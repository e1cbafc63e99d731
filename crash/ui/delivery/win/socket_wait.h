#pragma once
// Waiting on a non-blocking Winsock socket until a deadline: the one place
// the SMTP stream, its TLS and the DNS socket wait, so that none of them
// can wait longer than it was given.

#include <winsock2.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "crash/ui/delivery/smtp_connection.h"

namespace ostrel::delivery {

enum class SocketWait { Ready, TimedOut, Failed };

// Readable (or, with `writing`, writable); a deadline already passed still
// looks once without waiting.
SocketWait WaitForSocket(SOCKET socket, bool writing,
                         std::chrono::steady_clock::time_point deadline);

// All of `bytes`, or false when the socket broke or the deadline passed.
bool SendAllBytes(SOCKET socket, std::string_view bytes, SmtpClock::time_point deadline);

// Some bytes (at most `room`); Closed when the peer closed its side.
ReceiveStatus ReceiveSomeBytes(SOCKET socket, char* into, std::size_t room,
                               SmtpClock::time_point deadline, std::size_t& count);

// The system's text for a Winsock or Win32 error, as UTF-8 without the
// line break it ends in.
std::string SystemErrorText(unsigned long code);

}  // namespace ostrel::delivery
