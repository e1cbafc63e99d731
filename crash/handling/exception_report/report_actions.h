#pragma once
// What a report's actions do: the handlers they fire (and where those may
// run), the assistants that come first, the end of handling they lead to,
// and the window that offers them.

#include <windows.h>

#include <cstdint>
#include <string>

#include "crash/flow/handler_dispatch.h"
#include "crash/handling/exception_report/report_host.h"
#include "crash/ui/assistant/win/assistant_flow.h"
#include "ostrel/exception_report.h"

namespace ostrel {

class TExceptionReport;

class ReportActions {
 public:
  ReportActions(TExceptionReport& report, rt::IReportHost& host) : report_(report), host_(host) {}

  DispatchContext Dispatch();
  void FirePhase(std::uint8_t phase, bool& handled);
  // Fires the action handlers as the flow's rules say.
  void Fire(ReportAction action, void* window, bool& handled);

  void OpenView(void* window);
  void Send(void* window);
  // The delivery got the report out.
  static void Sent(TExceptionReport& report);
  void Save(void* window);
  void Print(void* window);
  void Continue(void* window);
  void Restart(void* window);
  void Close(void* window);
  // Shows the exception as the settings say, and runs the action chosen.
  void Present();

 private:
  AssistantOutcome RunAssistant(const std::u16string& name, HWND owner);

  TExceptionReport& report_;
  rt::IReportHost& host_;
};

}  // namespace ostrel
