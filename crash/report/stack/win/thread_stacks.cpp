// The call stacks of the process's threads: their contexts read, their
// stacks walked on a thread of the reporter's with room for deep walks.
#include "crash/report/stack/win/thread_stacks.h"

#include <windows.h>

#include "crash/report/disasm/page_copy_reader.h"
#include "crash/report/disasm/win/process_memory.h"
#include "crash/report/symbols/symbol_text.h"
#include "crash/report/symbols/win/loaded_symbols.h"

namespace ostrel {
namespace {

class TProcessStackEnvironment final : public IStackEnvironment {
 public:
  TProcessStackEnvironment() : callbacks_(SymbolCallbacksForDisassembler()) {}
  std::shared_ptr<const TMapFile> Symbols(std::uint32_t moduleBase) override {
    auto symbols = SymbolsForModule(moduleBase);
    return symbols && symbols->valid ? symbols : nullptr;
  }
  std::u16string ModuleFileName(std::uint32_t moduleBase) override {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(
        reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(moduleBase)), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::u16string(FileNamePart(std::u16string(path, path + n)));
  }
  bool IsProgramModule(std::uint32_t moduleBase) override {
    return reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)) == moduleBase;
  }
  const TDisasmSymbols* DisasmSymbols() override { return &callbacks_; }

 private:
  TDisasmSymbols callbacks_;
};

// The walk's memory: a stack scan reads every dword, and a system call for
// each would be slow; a page is read once per thread walked.
// Never destroyed, as the walker below: a completion still running while
// the process ends must not read through destroyed objects.
TPageCopyReader& WalkMemory() {
  static const auto* reader = new TProcessMemoryReader;
  static auto* pages = new TPageCopyReader(*reader);
  return *pages;
}

// The process-wide walker: its tables of modules and parsed functions
// outlive every report.
TStackWalker& Walker() {
  static auto* environment = new TProcessStackEnvironment;
  static auto* walker = new TStackWalker(WalkMemory(), *environment);
  return *walker;
}

std::uint32_t RegionTop(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &region, sizeof region) != sizeof region)
    return 0;
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(region.BaseAddress) +
                                    region.RegionSize);
}

struct WalkJob {
  std::vector<ThreadWalk>* walks;
  const ThreadWalkOptions* options;
  const std::atomic<bool>* cancel;
  std::vector<std::u16string>* minimalDebugInfo;
  bool ownThread = false;
};

void WalkOne(ThreadWalk& w, const WalkJob& job, const TDATryRead* snapshot) {
  // Each thread's stack as it is when its walk starts.
  WalkMemory().Forget();
  const TProcessMemoryReader reader(snapshot);
  TWalkRequest request;
  request.hideUglyItems = job.options->hideUglyItems;
  request.showRelativeAddresses = job.options->showRelativeAddresses;
  request.showRelativeLines = job.options->showRelativeLines;
  request.minimalDebugInfo = job.minimalDebugInfo;
  request.cancel = job.cancel;
  request.preparedStack = w.prepared && !w.prepared->empty() ? w.prepared : nullptr;
  request.externalException = w.external;
  request.isException = w.exceptionThread && w.address != 0;
  request.noTopItem = !request.isException && !(w.atInstruction && w.instruction);
  request.framePointer = static_cast<std::uint32_t>(w.framePointer);
  request.stackBottom = static_cast<std::uint32_t>(w.stackPointer);
  request.stackTop = w.stackTop;
  if (!request.isException && w.atInstruction && w.instruction) {
    // Where the thread is now: for a frozen main thread, where it waits.
    request.currentAddress = static_cast<std::uint32_t>(w.instruction);
  } else {
    request.currentAddress = static_cast<std::uint32_t>(w.address);
  }
  if (w.creator)
    request.creatorAddress = CallInstructionBefore(reader, static_cast<std::uint32_t>(w.creator));
  request.output = &w.trace;
  if (std::atomic<int>* position = job.options->position) {
    request.progress = [position](int at) { position->store(at); };
  }
  w.result = Walker().Walk(request, snapshot);
}

DWORD WINAPI WalkThreadMain(void* parameter) {
  const WalkJob& job = *static_cast<const WalkJob*>(parameter);
  const bool ownThread = job.ownThread;
  if (ownThread && job.options->serviceThread) job.options->serviceThread(true);
  std::unique_ptr<TDATryRead> snapshot = SnapshotReadableMemory();
  for (std::size_t i = 0; i < job.walks->size(); ++i) {
    ThreadWalk& w = (*job.walks)[i];
    if (job.cancel && job.cancel->load()) break;
    if (job.options->area) job.options->area->store(static_cast<int>(i));
    if (!w.readable) continue;
    try {
      WalkOne(w, job, snapshot.get());
    } catch (...) {
      w.failed = true;
    }
  }
  ReleaseSnapshot(snapshot);
  if (ownThread && job.options->serviceThread) job.options->serviceThread(false);
  return 0;
}

}  // namespace

bool ReadThreadState(ThreadWalk& w, bool& suspended, const ThreadWalkOptions& options) {
  suspended = false;
  if (w.threadId == GetCurrentThreadId()) return false;
  HANDLE thread = OpenThread(
      THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION | SYNCHRONIZE, FALSE,
      w.threadId);
  if (!thread) return false;
  // A thread that has ended is not suspended: under the emulator, Wine
  // fails on suspending a thread on its way out.
  if (WaitForSingleObject(thread, 0) != WAIT_TIMEOUT) {
    CloseHandle(thread);
    return false;
  }
  bool ok = false;
  auto read = [&] {
    const DWORD previous = SuspendThread(thread);
    if (previous == static_cast<DWORD>(-1)) return;
    suspended = previous > 0;
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (GetThreadContext(thread, &context)) {
      w.stackPointer = context.Esp;
      w.framePointer = context.Ebp;
      w.instruction = context.Eip;
      if (!w.exceptionThread) w.address = 0;
      ok = true;
    }
    ResumeThread(thread);
  };
  // Threads of the registry are read while their entry is held: they
  // cannot be ending meanwhile.
  if (!options.whileRegistered || !options.whileRegistered(w.threadId, read)) read();
  CloseHandle(thread);
  if (ok) w.stackTop = RegionTop(w.stackPointer);
  return ok && w.stackTop > w.stackPointer;
}

void WalkThreads(std::vector<ThreadWalk>& walks, const ThreadWalkOptions& options,
                 const std::atomic<bool>* cancel, std::vector<std::u16string>* minimalDebugInfo) {
  for (ThreadWalk& w : walks) {
    if (w.readable && w.stackTop == 0) w.stackTop = RegionTop(w.stackPointer);
    if (w.stackTop <= w.stackPointer) w.readable = false;
  }
  WalkJob job{&walks, &options, cancel, minimalDebugInfo};
  // A new thread cannot start while the loader lock is held, by this
  // thread or by another: waiting for it would hang the report.
  if (options.inPlace || (options.threadCanBeAwaited && !options.threadCanBeAwaited())) {
    WalkThreadMain(&job);
    return;
  }
  // Deep chains recurse in the scoring: the walk gets a stack of its own.
  job.ownThread = true;
  HANDLE thread = CreateThread(nullptr, 8 << 20, WalkThreadMain, &job,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!thread) {
    job.ownThread = false;
    WalkThreadMain(&job);
    return;
  }
  SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

std::u16string FormatAddress(std::uintptr_t address, const ThreadWalkOptions& options) {
  const auto symbols = SymbolsForModule(address);
  std::u16string module;
  if (symbols && symbols->valid) module = std::u16string(FileNamePart(symbols->moduleFileName));
  return FormatLocation(static_cast<std::uint32_t>(address),
                        symbols && symbols->valid ? symbols.get() : nullptr, module,
                        options.showRelativeAddresses, options.showRelativeLines);
}

}  // namespace ostrel
