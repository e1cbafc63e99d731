// The reporter starts while the process initialises, before the program's
// own static objects, and stops after them.
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/ui/clipboard/win/clipboard.h"
#include "crash/settings/win/process_settings.h"

namespace {

__attribute__((constructor(101))) void OstrelStart() {
  try {
    ostrel::rt::Runtime::Get().Start();
  } catch (...) {
  }
}

__attribute__((destructor(101))) void OstrelStop() {
  try {
    ostrel::rt::Runtime::Get().Stop();
  } catch (...) {
  }
}

void DeliverTrace(const std::u16string& text, int mapSize) {
  if (mapSize < 1) {
    ostrel::rt::CopyToClipboard(text);
    return;
  }
  HANDLE map = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"Global\\OstrelTraceProcessMap");
  if (!map) map = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"OstrelTraceProcessMap");
  if (!map) return;
  if (auto* view = static_cast<char*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0))) {
    const std::string utf8 = ostrel::rt::ToUtf8(text);
    const std::size_t room = static_cast<std::size_t>(mapSize) - 1;
    const std::size_t length = utf8.size() < room ? utf8.size() : room;
    std::memcpy(view, utf8.data(), length);
    view[length] = '\0';
    UnmapViewOfFile(view);
  }
  CloseHandle(map);
}

}  // namespace

// Pulled into every program that links the reporter (see the CMake package).
extern "C" {
extern int ostrel_auto_start;
int ostrel_auto_start = 1;
}

// Started as a thread inside the running program by an outside tool: a
// report of the whole process, to the clipboard or a named memory block.
extern "C" __declspec(dllexport) DWORD WINAPI OstrelTraceProcess(int mapSize) {
  try {
    const std::u16string name = u"Ostrel - TraceProcessThread";
    ostrel::rt::UpdateThreadEntry(GetCurrentThreadId(), nullptr, &name, 0, 0, nullptr);
    ostrel::ReportCreation creation;
    creation.kind = ostrel::ReportKind::Frozen;
    creation.address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    creation.settings = ostrel::SettingsForAddress(creation.address);
    ostrel::ComPtr<ostrel::TExceptionReport> report = ostrel::TExceptionReport::Create(creation);
    report->SetPlWaitBox(false);
    std::u16string text;
    report->ReportText(true, text);
    DeliverTrace(text, mapSize);
    ostrel::rt::RemoveThreadEntry(GetCurrentThreadId());
  } catch (...) {
  }
  return 0;
}
