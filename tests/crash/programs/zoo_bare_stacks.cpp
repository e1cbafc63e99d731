// A program without symbols crashes in a worker whose calls pass through a
// library that exports nothing, while the main thread waits in calls of its
// own: every return address of both chains is in the report with its module
// and offset, and the main thread has its section.
// options: -fno-omit-frame-pointer -fno-optimize-sibling-calls
// expect exit: 1
// expect output: action 13
// expect output: worker frames in the report: 4 of 4
// expect output: main frames in the report: 2 of 2
// expect output: main thread section: yes
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

namespace {

// Return addresses as the program itself saw them, and their modules.
struct Frame {
  std::uintptr_t address = 0;
  const char* module = "";
};
Frame g_worker[4], g_main[2];
HANDLE g_mainWaits = nullptr;
// Not a constant: the compiler would turn a store to a null it can see
// into a trap of its own.
volatile int* volatile g_target = nullptr;

#define RECORD(list, index, name) \
  list[index] = {reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)), name}

using Callback = void (*)(std::uintptr_t* returns);
using Forward = void (*)(Callback, std::uintptr_t*);

__attribute__((noinline)) void Fault(volatile int* target) {
  RECORD(g_worker, 3, "zoo_bare_stacks.exe");
  *target = 1;
  asm volatile("" ::: "memory");
}

__attribute__((noinline)) void Inside(std::uintptr_t* returns) {
  RECORD(g_worker, 2, "zoo_hidden_library.dll");
  // The library saw where its own call returns to.
  g_worker[1] = {returns[0], "zoo_bare_stacks.exe"};
  Fault(g_target);
  asm volatile("" ::: "memory");
}

__attribute__((noinline)) void Across() {
  RECORD(g_worker, 0, "zoo_bare_stacks.exe");
  // Set by the library after the run-time copied the environment.
  char text[32] = {};
  GetEnvironmentVariableA("ZOO_HIDDEN_FORWARD", text, sizeof text);
  const auto forward = reinterpret_cast<Forward>(std::strtoul(text, nullptr, 16));
  std::uintptr_t returns[1] = {};
  forward(Inside, returns);
  asm volatile("" ::: "memory");
}

DWORD WINAPI Worker(void*) {
  WaitForSingleObject(g_mainWaits, INFINITE);
  Across();
  return 0;
}

__attribute__((noinline)) void WaitInner(HANDLE thread) {
  RECORD(g_main, 1, "zoo_bare_stacks.exe");
  WaitForSingleObject(thread, INFINITE);
  asm volatile("" ::: "memory");
}

__attribute__((noinline)) void WaitOuter(HANDLE thread) {
  RECORD(g_main, 0, "zoo_bare_stacks.exe");
  SetEvent(g_mainWaits);
  WaitInner(thread);
  asm volatile("" ::: "memory");
}

// The lines of the report's section that starts with the title.
std::string Section(const std::string& text, const std::string& title) {
  const std::size_t at = text.find("\r\n\r\n" + title);
  if (at == std::string::npos) return {};
  const std::size_t end = text.find("\r\n\r\n", at + 4);
  return text.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

// A line shows the return address, in the named module.
int Found(const std::string& section, const Frame* frames, int count) {
  int found = 0;
  for (int i = 0; i < count; ++i) {
    for (std::size_t at = 0; at < section.size();) {
      std::size_t end = section.find("\r\n", at);
      if (end == std::string::npos) end = section.size();
      const std::string line = section.substr(at, end - at);
      at = end + 2;
      if (line.size() < 9) continue;
      const std::uintptr_t shown = std::strtoul(line.substr(0, 8).c_str(), nullptr, 16);
      // The call before the return address, or the return address itself
      // where no call could be linked.
      if (shown <= frames[i].address && shown + 7 >= frames[i].address &&
          line.find(std::string(" ") + frames[i].module + " ") != std::string::npos &&
          line.find(" +0x") != std::string::npos) {
        ++found;
        break;
      }
    }
  }
  return found;
}

void OnAction(ostrel::ReportAction action, ostrel::IExceptionReport* report, bool&) {
  if (action != ostrel::kActionClose) return;
  std::u16string wide;
  report->FinishedReportText(wide);
  const std::string text(wide.begin(), wide.end());
  const std::string worker = Section(text, "thread $");
  const std::string main = Section(text, "main thread (");
  zoo::Say("worker frames in the report: %d of 4", Found(worker, g_worker, 4));
  zoo::Say("main frames in the report: %d of 2", Found(main, g_main, 2));
  zoo::Say("main thread section: %s", main.empty() ? "no" : "yes");
  if (Found(worker, g_worker, 4) < 4) {
    for (const Frame& f : g_worker) zoo::Say("expected %08x in %s", f.address, f.module);
    zoo::Say("report:\r\n%s", worker.c_str());
  }
}

}  // namespace

int main() {
  zoo::Watch();
  ostrel::RegisterActionHandler(OnAction, ostrel::SyncMode::HandlerThread);
  if (!LoadLibraryW(L"zoo_hidden_library.dll")) zoo::Say("no library");
  g_mainWaits = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
  WaitOuter(thread);
}
