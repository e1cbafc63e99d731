#include "tests/crash/zoo_support.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "ostrel/ostrel.h"

namespace zoo {
namespace {

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

void OnPhase(ostrel::IExceptionReport* report, bool&) {
  std::u16string cls, msg;
  report->ExceptionClassName(cls);
  report->ExceptionText(msg);
  const std::u16string name = ostrel::ThreadNameOf(report->FaultingThreadId());
  Say("phase %u source %u class %s continuable %d thread %s message %s name %s",
      report->CurrentPhase(), report->InterceptionSource(), Narrow(cls).c_str(),
      report->Continuable() ? 1 : 0,
      report->FaultingThreadId() == ostrel::MainThreadId() ? "main" : "worker", Narrow(msg).c_str(),
      name.empty() ? "-" : Narrow(name).c_str());
}

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport*, bool&) {
  Say("action %d", static_cast<int>(action));
}

}  // namespace

void Say(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::string text = std::string("ostrel-zoo: ") + line + "\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

void Watch() {
  for (std::uint8_t phase = 1; phase <= 4; ++phase) {
    ostrel::RegisterExceptionHandler(OnPhase, ostrel::SyncMode::HandlerThread, phase);
  }
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
}

DWORD WINAPI RunWork(void* p) {
  auto* w = static_cast<std::function<void()>*>(p);
  (*w)();
  delete w;
  return 0;
}

void InThread(const std::function<void()>& work) {
  auto* copy = new std::function<void()>(work);
  HANDLE thread = CreateThread(nullptr, 0, RunWork, copy, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

}  // namespace zoo
