// Linked with the installed reporter and nothing else of this repository:
// a handler sees the exception nobody catches, and the program closes with
// exit code 1.
#include <cstdio>
#include <stdexcept>
#include <string>

#include "ostrel/ostrel.h"

namespace {

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

// Phase 1, on the handler thread: what a program's handler reads and adds.
void OnException(ostrel::IExceptionReport* report, bool&) {
  std::u16string cls;
  report->ExceptionClassName(cls);
  if (ostrel::IReportFields* header = report->ReportHeader()) {
    header->SetField(u"outside field", u"from the outside program");
  }
  const bool nothing = report->ShowMode() == ostrel::ShowMode::Nothing;
  std::printf("outside: handler saw %s, show %s, source %d\n", Narrow(cls).c_str(),
              nothing ? "nothing" : "other", static_cast<int>(report->InterceptionSource()));
  std::fflush(stdout);
}

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport*, bool&) {
  std::printf("outside: action %d\n", static_cast<int>(action));
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::printf("outside: reporter main thread %s\n", ostrel::MainThreadId() ? "known" : "unknown");
  ostrel::SetThreadName(ostrel::MainThreadId(), u"outside main");
  ostrel::RegisterExceptionHandler(OnException, ostrel::SyncMode::HandlerThread, 1);
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  std::printf("outside: version %s, main thread named %s\n", OSTREL_VERSION,
              Narrow(ostrel::ThreadNameOf(ostrel::MainThreadId())).c_str());
  std::fflush(stdout);
  throw std::runtime_error("outside");
}
