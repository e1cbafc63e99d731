#pragma once
// One asynchronous WinHTTP request's completions, waited for with a
// deadline. Shared by whoever sends the request and by the request handle:
// a request given up at its deadline may still complete into the buffer
// later, so the object lives until both have let go of it (the handle at
// its closing notice).
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstddef>

#include "crash/ui/upload/http_exchange.h"

namespace ostrel::upload {

class WinHttpCompletion {
 public:
  enum class Kind { None, Sent, Written, Headers, DataAvailable, Read, Failed, Closed };
  static constexpr std::size_t kBufferSize = 64 * 1024;

  // With one reference, the caller's; null when no event can be made.
  static WinHttpCompletion* Create();
  void AddRef() { refs_.fetch_add(1); }
  void Release();

  // Before each operation is started.
  void Arm();
  // The armed operation's outcome; None when the deadline came first.
  Kind Wait(Deadline deadline);
  DWORD Bytes() const { return bytes_; }
  DWORD Error() const { return error_; }
  // Where the pieces of the body are written from and read into.
  char* Buffer() { return buffer_; }

  // The session's status callback; a handle's context value is its object.
  static void CALLBACK Callback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                DWORD length);

 private:
  WinHttpCompletion() = default;
  ~WinHttpCompletion();
  void Complete(Kind kind, DWORD bytes, DWORD error);

  std::atomic<int> refs_{1};
  HANDLE event_ = nullptr;
  Kind kind_ = Kind::None;
  DWORD bytes_ = 0, error_ = 0;
  char buffer_[kBufferSize];
};

// Milliseconds until the deadline, 0 when it has passed.
DWORD MillisecondsLeft(Deadline deadline);

}  // namespace ostrel::upload
