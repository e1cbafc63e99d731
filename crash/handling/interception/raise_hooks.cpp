// The records of every throw and rethrow, and the hidden-exception report at
// the end of every catch block: the library's link options wrap the
// run-time's routines with these.
#include <cxxabi.h>

#include <exception>

#include "crash/handling/dispatch/runtime.h"
#include "crash/handling/threads/thread_state.h"

extern "C" {
// Not declared noreturn: the wrapper then jumps to it, and the unwinder has
// one frame less to walk on every throw.
void __real___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*));
[[noreturn]] void __real___cxa_rethrow();
void __real___cxa_end_catch();
void __wrap___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*));
[[noreturn]] void __wrap___cxa_rethrow();
void __wrap___cxa_end_catch();
}

using ostrel::rt::ThisThread;

void __wrap___cxa_throw(void* object, std::type_info* type, void (*destroy)(void*)) {
  ostrel::rt::RecordThrow(object, reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  __real___cxa_throw(object, type, destroy);
}

void __wrap___cxa_rethrow() {
  ostrel::rt::ThreadExceptionState& state = ThisThread();
  if (!state.suspended) {
    // The same object travels on; where it was rethrown is where it now is.
    state.address = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    RtlCaptureContext(&state.context);
    state.context.Eip = static_cast<DWORD>(state.address);
    state.hasContext = true;
  }
  __real___cxa_rethrow();
}

void __wrap___cxa_end_catch() {
  ostrel::rt::ThreadExceptionState& state = ThisThread();
  if (!state.suspended) {
    ostrel::rt::Runtime& runtime = ostrel::rt::Runtime::Get();
    // During a rethrow the exception is still on its way: not handled yet.
    if (runtime.Started() && std::uncaught_exceptions() == 0 && runtime.Handlers().AnyHidden()) {
      ++state.suspended;
      std::exception_ptr current = std::current_exception();
      const ostrel::rt::ExceptionDescription d = ostrel::rt::Describe(current);
      // An empty message marks an exception that was reported already.
      const bool reported = d.message == std::u16string(1, u'\0');
      --state.suspended;
      if (current && !d.abort && !reported) {
        ostrel::ReportRequest request;
        request.kind = ostrel::ReportKind::Hidden;
        request.object = current;
        request.source = ostrel::kSourceHidden;
        ostrel::ReportException(request);
      }
    }
  }
  __real___cxa_end_catch();
  // The last exception of the thread has been handled: forget it.
  if (!state.suspended && !abi::__cxa_current_exception_type() && std::uncaught_exceptions() == 0) {
    ostrel::rt::ClearThreadState(state);
  }
}
