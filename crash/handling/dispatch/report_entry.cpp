// The one entry every interception point ends in, and the program's API.
#include <cstring>

#include "crash/base/utf.h"
#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/lifetime/win/process_support.h"
#include "crash/handling/threads/lock_probes.h"
#include "crash/handling/threads/thread_registry.h"
#include "crash/handling/threads/thread_state.h"
#include "crash/settings/win/process_settings.h"

namespace ostrel {
namespace {

bool IsAccessViolation(const std::exception_ptr& object) {
  if (!object) return false;
  try {
    std::rethrow_exception(object);
  } catch (const EAccessViolation&) {
    return true;
  } catch (...) {
  }
  return false;
}

}  // namespace

void ReportException(const ReportRequest& in) {
  rt::Runtime& runtime = rt::Runtime::Get();
  if (!runtime.Started() || runtime.IsHandlerThread()) return;
  if (runtime.IsMainThread() && runtime.RunningHandlersOnMain()) return;
  rt::ThreadExceptionState& state = rt::ThisThread();
  if (state.suspended) return;
  ++state.suspended;
  try {
    rt::ReleaseMemory();
    std::exception_ptr object = in.object ? in.object : std::current_exception();
    std::uintptr_t address = in.address;
    const CONTEXT* context = static_cast<const CONTEXT*>(in.context);
    const bool recorded = object && state.rawObject == rt::RawObject(object);
    if (!address && recorded) address = state.address;
    if (!context && recorded && state.hasContext) context = &state.context;
    // The record points at copies: the thread's state may change while it
    // waits (the main thread serves its messages meanwhile).
    CONTEXT contextCopy;
    if (context) {
      contextCopy = *context;
      context = &contextCopy;
    }
    std::vector<rt::InnerException> inner;
    if (recorded) inner = state.inner;

    const rt::ExceptionDescription description = rt::Describe(object);
    if (description.abort) {
      if (recorded) rt::ClearThreadState(state);
      --state.suspended;
      if (!in.canContinue) rt::TerminateProgram();
      return;
    }

    std::uintptr_t stack = in.stackPointer, frame = in.framePointer;
    if (!stack) stack = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (!frame) frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (context && address >= context->Eip && address - context->Eip <= 4) {
      stack = context->Esp;
      frame = context->Ebp;
    }

    // Access violations also go to the system's fault reporting where the
    // module's settings ask for it; the exception then cannot continue.
    bool canContinue = in.canContinue;
    const EXCEPTION_RECORD* systemRecord = static_cast<const EXCEPTION_RECORD*>(in.systemRecord);
    if (!systemRecord && recorded && state.record.ExceptionCode) systemRecord = &state.record;
    if (context && systemRecord && IsAccessViolation(object)) {
      ComPtr<IReporterModuleSettings> owner = SettingsForAddress(address);
      if (owner && owner->WindowsLogo()) {
        if (rt::Runtime::ReportFaultEntry fault = runtime.ReportFault()) {
          EXCEPTION_RECORD recordCopy = *systemRecord;
          CONTEXT faultContext = contextCopy;
          EXCEPTION_POINTERS pointers{&recordCopy, &faultContext};
          fault(&pointers, 0);
          canContinue = false;
        }
      }
    }

    rt::ExceptionMessageRecord record{};
    record.threadId = in.threadId ? in.threadId : GetCurrentThreadId();
    record.type = static_cast<std::uint8_t>(in.kind);
    record.object = object ? &object : nullptr;
    record.address = address;
    record.canContinue = canContinue;
    record.stackPointer = stack;
    record.framePointer = frame;
    record.context = context;
    if (in.systemRecord) std::memcpy(&record.record, in.systemRecord, sizeof record.record);
    record.reportOut = in.reportOut;
    record.source = in.source;
    record.relatedObject = in.relatedObject;
    record.package = in.package;
    record.inner = inner.empty() ? nullptr : &inner;

    runtime.PauseFreezeWatch(true);
    if (rt::WaitingIsUnsafe(250)) {
      runtime.HandleHere(record);
    } else {
      // While waiting, this thread may raise again (the main thread runs
      // window procedures): that exception is reported after this one.
      --state.suspended;
      const bool handed = runtime.HandOver(record);
      ++state.suspended;
      if (!handed) runtime.HandleHere(record);
    }
    runtime.PauseFreezeWatch(false);

    rt::ClearThreadState(state);
    if (object && runtime.Handlers().Any(HandlerKind::Hidden)) {
      // An empty message marks the object as reported.
      try {
        std::rethrow_exception(object);
      } catch (Exception& e) {
        e.SetMessage(std::string(1, '\0'));
      } catch (...) {
      }
    }
    rt::ReserveMemory();
  } catch (...) {
  }
  --state.suspended;
}

void ReportException(bool canContinue) {
  ReportRequest request;
  request.canContinue = canContinue;
  ReportException(request);
}

void ReportWindowProcException(void* window) {
  // A window holding the mouse capture lets go of it first.
  if (HWND capture = GetCapture()) SendMessageW(capture, WM_CANCELMODE, 0, 0);
  ReportRequest request;
  request.source = kSourceWindowProc;
  request.relatedObject = window;
  ReportException(request);
}

void SetThreadName(std::uint32_t threadId, const std::u16string& name) {
  rt::UpdateThreadEntry(threadId, nullptr, &name, 0, 0, nullptr);
  if (IsDebuggerPresent() && !name.empty()) {
    // The debugger's own convention for naming threads.
    const std::string utf8 = Utf16ToUtf8(name);
    const ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>(utf8.c_str()), threadId, 0};
    RaiseException(0x406D1388, 0, 4, info);
  }
}

std::uint32_t MainThreadId() { return rt::Runtime::Get().MainThreadId(); }

std::u16string ThreadNameOf(std::uint32_t threadId) { return rt::ThreadName(threadId); }

void ExceptionTimes(std::uint64_t (&out)[10]) {
  const auto& times = rt::Runtime::Get().History().Times();
  for (std::size_t i = 0; i < 10; ++i) out[i] = times[i];
}

void Synchronize(const std::function<void()>& call) { rt::Runtime::Get().Synchronize(call); }

#define OSTREL_LISTS rt::Runtime::Get().Handlers()
bool RegisterExceptionHandler(ExceptionHandlerRoutine routine, SyncMode mode, std::uint8_t phase) {
  return OSTREL_LISTS.RegisterException(routine, mode, phase);
}
bool RegisterExceptionHandler(ExceptionHandlerMethod method, void* object, SyncMode mode,
                              std::uint8_t phase) {
  return OSTREL_LISTS.RegisterException(method, object, mode, phase);
}
bool UnregisterExceptionHandler(ExceptionHandlerRoutine routine) {
  return OSTREL_LISTS.UnregisterException(routine);
}
bool UnregisterExceptionHandler(ExceptionHandlerMethod method, void* object) {
  return OSTREL_LISTS.UnregisterException(method, object);
}
bool RegisterActionHandler(ActionHandlerRoutine routine, SyncMode mode) {
  return OSTREL_LISTS.RegisterAction(routine, mode);
}
bool RegisterActionHandler(ActionHandlerMethod method, void* object, SyncMode mode) {
  return OSTREL_LISTS.RegisterAction(method, object, mode);
}
bool UnregisterActionHandler(ActionHandlerRoutine routine) {
  return OSTREL_LISTS.UnregisterAction(routine);
}
bool UnregisterActionHandler(ActionHandlerMethod method, void* object) {
  return OSTREL_LISTS.UnregisterAction(method, object);
}
bool RegisterHiddenExceptionHandler(HiddenHandlerRoutine routine, SyncMode mode) {
  return OSTREL_LISTS.RegisterHidden(routine, mode);
}
bool RegisterHiddenExceptionHandler(HiddenHandlerMethod method, void* object, SyncMode mode) {
  return OSTREL_LISTS.RegisterHidden(method, object, mode);
}
bool UnregisterHiddenExceptionHandler(HiddenHandlerRoutine routine) {
  return OSTREL_LISTS.UnregisterHidden(routine);
}
bool UnregisterHiddenExceptionHandler(HiddenHandlerMethod method, void* object) {
  return OSTREL_LISTS.UnregisterHidden(method, object);
}
#undef OSTREL_LISTS

}  // namespace ostrel
