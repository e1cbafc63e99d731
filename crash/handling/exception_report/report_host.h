#pragma once
// What a report needs of the reporter that runs it: the handlers it fires
// and where they may run, what the process is, and the end of handling its
// actions lead to. The handling's runtime provides it; the report knows no
// more of the handling than this.

#include <windows.h>

#include <cstdint>

#include "crash/flow/exception_history.h"
#include "crash/flow/handler_dispatch.h"
#include "crash/flow/handler_lists.h"

namespace ostrel {
class TExceptionReport;
}

namespace ostrel::rt {

class IReportHost {
 public:
  virtual HandlerLists& Handlers() = 0;
  // None when the main thread cannot be asked.
  virtual IMainThreadCalls* MainThreadCalls() = 0;
  virtual DWORD MainThreadId() const = 0;
  virtual bool IsConsoleProgram() const = 0;
  virtual bool IsHandlerThread() const = 0;
  // Since the reporter started; -1 before.
  virtual std::int64_t MillisecondsSinceStart() const = 0;
  // The module that carries this copy of the reporter.
  virtual HMODULE Module() const = 0;
  // The main thread's hidden message window; null when there is none.
  virtual HWND MainThreadWindow() const = 0;
  // The exception times a restarted program inherits.
  virtual const ExceptionHistory& History() = 0;
  // The end of handling (the automatic actions, a background send), before
  // the program restarts or closes.
  virtual void FinishHandling(TExceptionReport& report, bool waitForSending) = 0;

 protected:
  ~IReportHost() = default;
};

}  // namespace ostrel::rt
