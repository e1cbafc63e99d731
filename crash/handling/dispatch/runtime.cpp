// The handler thread and its pipe, the main thread's message window and the
// waits of raising threads.

#include "crash/handling/dispatch/runtime.h"

#include "crash/handling/dispatch/freeze_watch.h"
#include "crash/handling/dispatch/handle_record.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_end.h"
#include "crash/handling/threads/thread_pause.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/handling/threads/thread_state.h"

namespace ostrel::rt {
namespace {

constexpr LRESULT kAnswer = 777;
const wchar_t kMessageWindowClass[] = L"OstrelMessageWindow";

struct SyncPacket {
  const std::function<void()>* call;
  std::exception_ptr abort;  // raised again in the calling thread
};

// The call another thread asked the main thread to run.
void RunSyncPacket(SyncPacket* packet) {
  try {
    (*packet->call)();
  } catch (const EAbort&) {
    packet->abort = std::current_exception();
  } catch (...) {
    ReportRequest request;
    request.source = kSourceSynchronize;
    ReportException(request);
  }
}

}  // namespace

Runtime& Runtime::Get() {
  static Runtime runtime;
  return runtime;
}

namespace {

class RuntimeReportHost final : public IReportHost {
 public:
  HandlerLists& Handlers() override { return Runtime::Get().Handlers(); }
  IMainThreadCalls* MainThreadCalls() override { return &Runtime::Get(); }
  DWORD MainThreadId() const override { return Runtime::Get().MainThreadId(); }
  bool IsConsoleProgram() const override { return Runtime::Get().IsConsoleProgram(); }
  bool IsHandlerThread() const override { return Runtime::Get().IsHandlerThread(); }
  std::int64_t MillisecondsSinceStart() const override {
    return Runtime::Get().MillisecondsSinceStart();
  }
  HMODULE Module() const override { return Runtime::Get().Module(); }
  HWND MainThreadWindow() const override { return Runtime::Get().MessageWindow(); }
  const ExceptionHistory& History() override { return Runtime::Get().History(); }
  void FinishHandling(TExceptionReport& report, bool waitForSending) override {
    rt::FinishHandling(report, waitForSending);
  }
};

}  // namespace

IReportHost& ReportHost() {
  static RuntimeReportHost host;
  return host;
}

void Runtime::Initialize() {
  if (initialized_) return;
  initialized_ = true;
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&Runtime::Get), &self);
  module_ = self;
  if (self != GetModuleHandleW(nullptr)) {
    // A library that carries the reporter stays loaded until the process
    // ends: its threads start only after the loader lets go, and a library
    // unloaded before then would leave them starting in code that is gone.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&Runtime::Get), &pinned);
  }
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(GetModuleHandleW(nullptr));
  const auto* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(dos) + dos->e_lfanew);
  console_ = nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
  mainThreadId_ = GetCurrentThreadId();
  LARGE_INTEGER counter{}, frequency{};
  if (QueryPerformanceCounter(&counter) && QueryPerformanceFrequency(&frequency)) {
    startCounter_ = counter.QuadPart;
    counterFrequency_ = frequency.QuadPart;
  }
}

void Runtime::DestroyMessageWindow() {
  if (messageWindow_) DestroyWindow(messageWindow_);
  messageWindow_ = nullptr;
  // A library that is unloaded leaves no class behind with its procedure.
  UnregisterClassW(kMessageWindowClass, module_);
}

Runtime::ReportFaultEntry Runtime::ReportFault() {
  std::call_once(reportFaultResolved_, [this] {
    // The system's fault reporting exists from version 6 on.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExW(&version) || version.dwMajorVersion <= 5) return;
    if (HMODULE library = LoadLibraryW(L"faultrep.dll")) {
      reportFault_ = reinterpret_cast<ReportFaultEntry>(
          reinterpret_cast<void*>(GetProcAddress(library, "ReportFault")));
    }
  });
  return reportFault_;
}

std::int64_t Runtime::MillisecondsSinceStart() const {
  LARGE_INTEGER now{};
  if (startCounter_ < 0 || counterFrequency_ == 0 || !QueryPerformanceCounter(&now)) return -1;
  return (now.QuadPart - startCounter_) * 1000 / counterFrequency_;
}

void Runtime::CreateMessageWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MessageWindowProc;
  wc.hInstance = module_;
  wc.lpszClassName = kMessageWindowClass;
  RegisterClassW(&wc);
  fireMessage_ = RegisterWindowMessageW(L"OstrelFireHandlers");
  syncMessage_ = RegisterWindowMessageW(L"OstrelSynchronize");
  messageWindow_ = CreateWindowExW(0, kMessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, module_, nullptr);
}

LRESULT CALLBACK Runtime::MessageWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  Runtime& self = Get();
  if (message == self.fireMessage_ && message != 0) {
    if (w == 0) return kAnswer;  // the probe
    self.mainRunsHandlers_ = true;
    try {
      (*reinterpret_cast<const std::function<void()>*>(w))();
    } catch (...) {
    }
    self.mainRunsHandlers_ = false;
    return kAnswer;
  }
  if (message == self.syncMessage_ && message != 0) {
    RunSyncPacket(reinterpret_cast<SyncPacket*>(w));
    return kAnswer;
  }
  if (AnswerFreezeProbe(message, w)) return kAnswer;
  return DefWindowProcW(window, message, w, l);
}

bool Runtime::RunOnMainThread(const std::function<void()>& work) {
  if (!messageWindow_) return false;
  if (IsMainThread()) {
    work();
    return true;
  }
  // With the program's threads paused, the main thread alone goes on for
  // the handler.
  ResumeMainThreadOnly();
  DWORD_PTR answer = 0;
  bool ran = false;
  if (SendMessageTimeoutW(messageWindow_, fireMessage_, 0, 0, SMTO_NORMAL, 1500, &answer) &&
      answer == kAnswer) {
    answer = 0;
    ran = SendMessageTimeoutW(messageWindow_, fireMessage_, reinterpret_cast<WPARAM>(&work), 0,
                              SMTO_NORMAL, 2147483646u, &answer) &&
          answer == kAnswer;
  }
  PauseMainThreadAgain();
  return ran;
}

void Runtime::Synchronize(const std::function<void()>& call) {
  SyncPacket packet{&call, nullptr};
  if (IsMainThread() || !messageWindow_) {
    RunSyncPacket(&packet);
  } else {
    SendMessageW(messageWindow_, syncMessage_, reinterpret_cast<WPARAM>(&packet), 0);
  }
  if (packet.abort) std::rethrow_exception(packet.abort);
}

void Runtime::StartHandlerThread() {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
  if (!CreatePipe(&pipeRead_, &pipeWrite_, &sa, 64 * sizeof(ExceptionMessageRecord))) {
    pipeRead_ = pipeWrite_ = nullptr;
    return;
  }
  recordsReady_ = CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr);
  if (!recordsReady_) return;
  handlerThread_ = CreateThread(nullptr, 256 * 1024, HandlerThreadMain, this, CREATE_SUSPENDED,
                                &handlerThreadId_);
  if (!handlerThread_) return;
  SetThreadPriority(handlerThread_, THREAD_PRIORITY_HIGHEST);
  const std::u16string name = u"Ostrel - HandleExceptionThread";
  UpdateThreadEntry(handlerThreadId_, handlerThread_, &name, GetCurrentThreadId(),
                    reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)), nullptr);
  ResumeThread(handlerThread_);
}

DWORD WINAPI Runtime::HandlerThreadMain(void* param) {
  auto* self = static_cast<Runtime*>(param);
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (auto set = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")))) {
    set(reinterpret_cast<HANDLE>(-1));  // DPI unaware
  }
  for (;;) {
    ExceptionMessageRecord record{};
    DWORD read = 0;
    // Alertable, so that a library being unloaded can end the thread here.
    while (WaitForSingleObjectEx(self->recordsReady_, INFINITE, TRUE) == WAIT_IO_COMPLETION) {
    }
    if (!ReadFile(self->pipeRead_, &record, sizeof record, &read, nullptr) ||
        read != sizeof record || !record.event) {
      break;
    }
    self->HandleHere(record);
    SetEvent(record.event);
    PostThreadMessageW(record.threadId, WM_NULL, 0, 0);
  }
  return 0;
}

void Runtime::StopHandlerThread() {
  bool ended = false;
  if (handlerThread_) {
    ResumeThread(handlerThread_);
    if (!WaitingIsUnsafe(0) && pipeWrite_) {
      ExceptionMessageRecord stop{};
      DWORD written = 0;
      if (WriteFile(pipeWrite_, &stop, sizeof stop, &written, nullptr)) {
        ReleaseSemaphore(recordsReady_, 1, nullptr);
      }
      ended = WaitForSingleObject(handlerThread_, 500) == WAIT_OBJECT_0;
    }
    // Ended where it waits, before its pipe closes: woken by the close, it
    // would run on into a library that is being unloaded.
    if (!ended) EndIdleThread(handlerThread_, 500);
  }
  if (recordsReady_) CloseHandle(recordsReady_);
  recordsReady_ = nullptr;
  if (pipeWrite_) CloseHandle(pipeWrite_);
  if (pipeRead_) CloseHandle(pipeRead_);
  pipeWrite_ = pipeRead_ = nullptr;
  if (handlerThread_) {
    CloseHandle(handlerThread_);
    RemoveThreadEntry(handlerThreadId_);
  }
  handlerThread_ = nullptr;
  handlerThreadId_ = 0;
}

bool Runtime::HandOver(ExceptionMessageRecord& record) {
  // No raising thread waits for a handler thread that is gone.
  if (!handlerThread_ || !pipeWrite_ || WaitForSingleObject(handlerThread_, 0) == WAIT_OBJECT_0) {
    return false;
  }
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!event) return false;
  record.event = event;
  DWORD written = 0;
  if (!WriteFile(pipeWrite_, &record, sizeof record, &written, nullptr) ||
      written != sizeof record) {
    CloseHandle(event);
    return false;
  }
  ReleaseSemaphore(recordsReady_, 1, nullptr);
  HANDLE waits[2] = {event, handlerThread_};
  DWORD result;
  if (IsMainThread()) {
    // The main thread serves its messages meanwhile: the exception box's
    // handlers and cross-thread calls need it.
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
      result = MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT);
      if (result != WAIT_OBJECT_0 + 2) break;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          quit = true;
          quitCode = msg.wParam;
          continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
  } else {
    result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  }
  CloseHandle(event);
  return result == WAIT_OBJECT_0;
}

void Runtime::HandleHere(const ExceptionMessageRecord& record) {
  ++ThisThread().suspended;
  try {
    HandleRecord(record);
  } catch (...) {
  }
  --ThisThread().suspended;
}

}  // namespace ostrel::rt
