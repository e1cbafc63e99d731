// An outside tool finds OstrelTraceProcess under its plain name and starts
// it as a thread in the program: the whole process's report arrives in the
// named memory block, cut to the size the tool gave and never past the
// block's end, whatever size it claimed (a long thread name makes the report
// longer than the block).
// expect exit: 0
// expect output: export found
// expect output: trace of 100: 99 bytes, NUL, starts with date/time
// expect output: trace of a megabyte into 4096: 4095 bytes, NUL, starts with date/time
// expect output: the trace lists the handler thread: yes
#include <windows.h>

#include <cstring>
#include <string>

#include "ostrel/ostrel.h"
#include "tests/crash/zoo_support.h"

namespace {

void Trace(LPTHREAD_START_ROUTINE trace, char* view, int mapSize, const char* label) {
  std::memset(view, 'x', 4096);
  HANDLE thread = CreateThread(nullptr, 0, trace, reinterpret_cast<void*>(mapSize), 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  const std::size_t length = strnlen(view, 4096);
  zoo::Say("trace of %s: %u bytes, %s, %s", label, static_cast<unsigned>(length),
           length < 4096 ? "NUL" : "no NUL",
           std::strncmp(view, "date/time", 9) == 0 ? "starts with date/time" : "starts otherwise");
}

}  // namespace

int main() {
  auto trace = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), "OstrelTraceProcess")));
  zoo::Say(trace ? "export found" : "export missing");
  if (!trace) return 1;
  HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                  L"OstrelTraceProcessMap");
  auto* view = static_cast<char*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 4096));
  if (!view) return 1;
  ostrel::SetThreadName(GetCurrentThreadId(), std::u16string(5000, u'n'));
  Trace(trace, view, 100, "100");
  Trace(trace, view, 1 << 20, "a megabyte into 4096");
  UnmapViewOfFile(view);
  CloseHandle(map);
  // Room for the whole trace: the reporter's own handler thread is in it.
  ostrel::SetThreadName(GetCurrentThreadId(), u"main thread");
  constexpr int kRoom = 1 << 18;
  map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRoom,
                           L"OstrelTraceProcessMap");
  view = static_cast<char*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, kRoom));
  if (!view) return 1;
  HANDLE thread = CreateThread(nullptr, 0, trace, reinterpret_cast<void*>(kRoom), 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  const std::string text(view, strnlen(view, kRoom));
  zoo::Say(
      "the trace lists the handler thread: %s",
      text.find("\r\n\r\nOstrel - HandleExceptionThread ($") != std::string::npos ? "yes" : "no");
  return 0;
}
