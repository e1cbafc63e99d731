// The reporter starts while the process initialises, before the program's
// own static objects, and stops after them.
#include <algorithm>
#include <cstring>
#include <optional>

#include "crash/base/utf.h"
#include "crash/handling/dispatch/freeze_watch.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/exception_report/exception_report.h"
#include "crash/handling/exception_report/unsent_offer.h"
#include "crash/handling/interception/interception.h"
#include "crash/handling/lifetime/win/file_integrity.h"
#include "crash/handling/lifetime/win/process_support.h"
#include "crash/ui/sending/win/deliver_report.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_pause.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/report/lists/win/list_plugins.h"
#include "crash/settings/win/process_settings.h"
#include "crash/ui/clipboard/win/clipboard.h"

namespace {

using namespace ostrel;
using namespace ostrel::rt;

void WakeMainThread() { Runtime::Get().PostFireMessage(); }

// The order matters: the registry before anything that names threads, the
// handler thread before the interception that hands it records, the reserve
// last so that it stays untouched.
void StartReporter() {
  Runtime& runtime = Runtime::Get();
  if (runtime.Started()) return;
  runtime.Initialize();
  if (std::optional<ExceptionHistory> history = TakeOverRestart()) runtime.History() = *history;
  ClearTempFolder();
  ComPtr<IReporterModuleSettings> global = InitGlobalSettings();
  if (!global || !global->SettingsFound()) return;
  CheckModuleFiles(global, runtime.Module());
  OpenThreadRegistry();
  if (!global->Enabled()) return;
  runtime.CreateMessageWindow();
  RegisterListPlugins();
  StartHeapProbe();
  runtime.StartHandlerThread();
  SetPauseMainThread(runtime.MainThreadId(), WakeMainThread);
  InstallInterception();
  if (runtime.Module() == GetModuleHandleW(nullptr)) {
    if (ComPtr<ISettingsLookup> lookup = global.As<ISettingsLookup>(kIidSettingsLookup)) {
      if (lookup->LookupBool("PauseThreads")) PrepareThreadPausing();
    }
  }
  runtime.SetStarted(true);
  if (global->CheckFreeze()) StartFreezeWatch(global->FreezeTimeout());
  if (runtime.Module() == GetModuleHandleW(nullptr)) OfferUnsentReports();
  ReserveMemory();
}

void StopReporter() {
  Runtime& runtime = Runtime::Get();
  if (!runtime.SetStarted(false)) return;
  StopFreezeWatch();
  EndThreadPausing();
  RemoveInterception();
  runtime.StopHandlerThread();
  StopHeapProbe();
  UnregisterListPlugins();
  runtime.DestroyMessageWindow();
  CloseThreadRegistry();
  ReleaseMemory();
  runtime.Handlers().Clear();
  ShutdownGlobalSettings();
}

__attribute__((constructor(101))) void OstrelStart() {
  try {
    StartReporter();
  } catch (...) {
  }
}

__attribute__((destructor(101))) void OstrelStop() {
  try {
    StopReporter();
  } catch (...) {
  }
}

void DeliverTrace(const std::u16string& text, int mapSize) {
  if (mapSize < 1) {
    ostrel::CopyToClipboard(text);
    return;
  }
  HANDLE map = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"Global\\OstrelTraceProcessMap");
  if (!map) map = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"OstrelTraceProcessMap");
  if (!map) return;
  if (auto* view = static_cast<char*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0))) {
    const std::string utf8 = ostrel::Utf16ToUtf8(text);
    // No more than the block holds, whatever size the tool claimed.
    MEMORY_BASIC_INFORMATION region{};
    std::size_t room = static_cast<std::size_t>(mapSize) - 1;
    if (VirtualQuery(view, &region, sizeof region) == sizeof region)
      room = std::min(room, static_cast<std::size_t>(region.RegionSize) - 1);
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
// The program's exit (main returning, or exit()) first lets reports still
// being completed finish: the exit then destroys objects they read.
extern "C" [[noreturn]] void __real_exit(int code);
extern "C" [[noreturn]] void __wrap_exit(int code) {
  ostrel::WaitForRunningCompletions();
  ostrel::sending::WaitForBackgroundDeliveries();
  __real_exit(code);
}

extern int ostrel_auto_start;
int ostrel_auto_start = 1;
}

// Started as a thread inside the running program by an outside tool: a
// report of the whole process, to the clipboard or a named memory block.
// Exported under its plain name, the one tools ask for; dllexport would give
// the calling convention's decorated one ("OstrelTraceProcess@4").
__asm__(".section .drectve\n.ascii \" -export:OstrelTraceProcess=OstrelTraceProcess@4\"\n.text");
extern "C" DWORD WINAPI OstrelTraceProcess(int mapSize) {
  try {
    const std::u16string name = u"Ostrel - TraceProcessThread";
    ostrel::rt::UpdateThreadEntry(GetCurrentThreadId(), nullptr, &name, 0, 0, nullptr);
    ostrel::ReportCreation creation;
    creation.kind = ostrel::ReportKind::Frozen;
    creation.trace = true;
    creation.address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    creation.settings = ostrel::SettingsForAddress(creation.address);
    ostrel::ComPtr<ostrel::TExceptionReport> report =
        ostrel::TExceptionReport::Create(ostrel::rt::ReportHost(), creation);
    report->SetPlWaitBox(false);
    report->SetListThreads(true);
    std::u16string text;
    report->ReportText(true, text);
    DeliverTrace(text, mapSize);
    ostrel::rt::RemoveThreadEntry(GetCurrentThreadId());
  } catch (...) {
  }
  return 0;
}
