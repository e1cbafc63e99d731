#pragma once
// Where a report is completed: on a thread of its own (above normal
// priority) when waiting for one is safe, otherwise where it is asked for;
// whoever waits for it sees the please-wait box when the settings ask for it.

#include <windows.h>

#include <atomic>
#include <memory>

namespace ostrel {

class IProgressAlert;
class TExceptionReport;

// Waits (at most 3 s) for the completions still running: the program's exit
// calls it before it destroys the objects they use.
void WaitForRunningCompletions();

class CompletionThread {
 public:
  explicit CompletionThread(TExceptionReport& report) : report_(report) {}
  // Cancels the completion and waits a while for its thread.
  ~CompletionThread();
  CompletionThread(const CompletionThread&) = delete;
  CompletionThread& operator=(const CompletionThread&) = delete;

  // elsewhere: a thread of its own may do it; otherwise (or when none can
  // be started) it is done here and now.
  void Start(bool elsewhere);
  // Returns once the report is complete.
  void Wait();

  const std::atomic<bool>& Cancelled() const { return cancel_; }
  // Where the walks are, for the box: the entry's index and its position.
  std::atomic<int>& Area() { return area_; }
  std::atomic<int>& Position() { return position_; }

 private:
  static DWORD WINAPI Main(void* parameter);
  void RunHere();
  std::unique_ptr<IProgressAlert> ShowPleaseWait();

  TExceptionReport& report_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> cancel_{false};
  std::atomic<int> area_{-1}, position_{0};
};

}  // namespace ostrel
