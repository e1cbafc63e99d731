#include "crash/ui/upload/win/winhttp_completion.h"

#include <algorithm>

namespace ostrel::upload {

DWORD MillisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left.count(), 0x7fffffff));
}

WinHttpCompletion* WinHttpCompletion::Create() {
  const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) return nullptr;
  auto* c = new WinHttpCompletion;
  c->event_ = event;
  return c;
}

WinHttpCompletion::~WinHttpCompletion() { CloseHandle(event_); }

void WinHttpCompletion::Release() {
  if (refs_.fetch_sub(1) == 1) delete this;
}

void WinHttpCompletion::Arm() {
  kind_ = Kind::None;
  bytes_ = error_ = 0;
  ResetEvent(event_);
}

WinHttpCompletion::Kind WinHttpCompletion::Wait(Deadline deadline) {
  for (;;) {
    const DWORD left = MillisecondsLeft(deadline);
    // The event orders the callback's writes before these reads.
    const DWORD waited = WaitForSingleObject(event_, left);
    if (waited == WAIT_OBJECT_0) return kind_;
    if (waited != WAIT_TIMEOUT || MillisecondsLeft(deadline) == 0) return Kind::None;
  }
}

void WinHttpCompletion::Complete(Kind kind, DWORD bytes, DWORD error) {
  kind_ = kind;
  bytes_ = bytes;
  error_ = error;
  SetEvent(event_);
}

void CALLBACK WinHttpCompletion::Callback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                          DWORD length) {
  // The session's and the connection's notices carry no object.
  auto* c = reinterpret_cast<WinHttpCompletion*>(context);
  if (c == nullptr) return;
  const auto count = [&] { return info != nullptr ? *static_cast<DWORD*>(info) : 0; };
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      c->Complete(Kind::Sent, 0, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
      c->Complete(Kind::Written, count(), 0);
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      c->Complete(Kind::Headers, 0, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      c->Complete(Kind::DataAvailable, count(), 0);
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      c->Complete(Kind::Read, length, 0);
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
      const auto* result = static_cast<WINHTTP_ASYNC_RESULT*>(info);
      c->Complete(Kind::Failed, 0,
                  result != nullptr ? result->dwError : ERROR_WINHTTP_INTERNAL_ERROR);
      break;
    }
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      c->Complete(Kind::Closed, 0, 0);
      c->Release();
      break;
    default:
      break;
  }
}

}  // namespace ostrel::upload
