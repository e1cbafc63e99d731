#include "crash/ui/delivery/win/net_library.h"
#include "crash/ui/delivery/win/socket_wait.h"

#include <windows.h>

#include <algorithm>
#include <climits>

#include "crash/base/utf.h"

namespace ostrel::delivery {

namespace {

// FD_ISSET calls into ws2_32, which is loaded only by name.
bool InSet(SOCKET socket, const fd_set& set) {
  for (u_int i = 0; i < set.fd_count; ++i)
    if (set.fd_array[i] == socket) return true;
  return false;
}

timeval Remaining(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
  // net::select() takes a long of seconds; a day is more than any wait here.
  const long long clamped = std::clamp<long long>(left, 0, 86400LL * 1000000);
  timeval tv;
  tv.tv_sec = static_cast<long>(clamped / 1000000);
  tv.tv_usec = static_cast<long>(clamped % 1000000);
  return tv;
}

}  // namespace

SocketWait WaitForSocket(SOCKET socket, bool writing,
                         std::chrono::steady_clock::time_point deadline) {
  fd_set wanted, failed;
  FD_ZERO(&wanted);
  FD_ZERO(&failed);
  FD_SET(socket, &wanted);
  FD_SET(socket, &failed);
  timeval tv = Remaining(deadline);
  const int ready =
      net::select(0, writing ? nullptr : &wanted, writing ? &wanted : nullptr, &failed, &tv);
  if (ready == 0) return SocketWait::TimedOut;
  if (ready == SOCKET_ERROR || InSet(socket, failed)) return SocketWait::Failed;
  return SocketWait::Ready;
}

bool SendAllBytes(SOCKET socket, std::string_view bytes, SmtpClock::time_point deadline) {
  while (!bytes.empty()) {
    const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int sent = net::send(socket, bytes.data(), size, 0);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent == 0 || net::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (WaitForSocket(socket, true, deadline) != SocketWait::Ready) return false;
  }
  return true;
}

ReceiveStatus ReceiveSomeBytes(SOCKET socket, char* into, std::size_t room,
                               SmtpClock::time_point deadline, std::size_t& count) {
  if (room == 0) return ReceiveStatus::Failed;
  const int size = static_cast<int>(std::min<std::size_t>(room, INT_MAX));
  while (true) {
    const int got = net::recv(socket, into, size, 0);
    if (got > 0) {
      count = static_cast<std::size_t>(got);
      return ReceiveStatus::Data;
    }
    if (got == 0) return ReceiveStatus::Closed;
    if (net::WSAGetLastError() != WSAEWOULDBLOCK) return ReceiveStatus::Failed;
    // Checked after a look at the socket, so that bytes already there are
    // taken even at the deadline.
    if (std::chrono::steady_clock::now() >= deadline) return ReceiveStatus::TimedOut;
    const SocketWait wait = WaitForSocket(socket, false, deadline);
    if (wait == SocketWait::TimedOut) return ReceiveStatus::TimedOut;
    if (wait == SocketWait::Failed) return ReceiveStatus::Failed;
  }
}

std::string SystemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message;
  if (length > 0 && text) message.assign(reinterpret_cast<const char16_t*>(text), length);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == u' ' || message.back() == u'\r' ||
                              message.back() == u'\n' || message.back() == u'\t'))
    message.pop_back();
  while (!message.empty() && (message.front() == u' ' || message.front() == u'\t'))
    message.erase(0, 1);
  if (message.empty()) return "error " + std::to_string(code);
  return Utf16ToUtf8(message);
}

}  // namespace ostrel::delivery
