// What each thread last raised, recorded on every throw and rethrow, and
// the hidden-exception report at the end of every catch block.
#include <cxxabi.h>

#include <cstring>

#include "crash/handling/dispatch/runtime.h"
#include "crash/settings/class_list.h"

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

namespace ostrel::rt {
namespace {

struct Suspend {
  explicit Suspend(ThreadExceptionState& s) : state(s) { ++state.suspended; }
  ~Suspend() { --state.suspended; }
  ThreadExceptionState& state;
};

std::u16string ClassNameOf(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string text = status == 0 && name ? name : type.name();
  std::free(name);
  // The reporter's own classes read as they are named in settings.
  if (text.rfind("ostrel::", 0) == 0) text.erase(0, 8);
  return FromAnsi(text);
}

std::u16string Decode(UINT codePage, const std::string& text) {
  const int n =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  }
  return std::u16string(wide.begin(), wide.end());
}

std::u16string FromUtf8(const std::string& text) { return Decode(CP_UTF8, text); }

// Before the throw: an exception still being handled in this thread becomes
// the inner exception of the new one.
void RecordThrow(const void* object, std::uintptr_t address) {
  ThreadExceptionState& state = ThisThread();
  if (state.suspended) return;
  Suspend suspend(state);
  // Most throws happen outside a catch block: no older exception to keep,
  // and no reference count to touch for asking.
  std::exception_ptr current;
  if (abi::__cxa_current_exception_type()) current = std::current_exception();
  if (current && RawObject(current) != object) {
    const ExceptionDescription d = Describe(current);
    InnerException inner;
    inner.className = d.className;
    inner.message = d.message;
    inner.external = d.external;
    if (state.rawObject && state.rawObject == RawObject(current)) {
      inner.address = state.address;
      inner.context = state.context;
    }
    state.inner.insert(state.inner.begin(), std::move(inner));
  }
  state.rawObject = object;
  state.address = address;
  RtlCaptureContext(&state.context);
  state.context.Eip = static_cast<DWORD>(address);
  state.hasContext = true;
  std::memset(&state.record, 0, sizeof state.record);
}

}  // namespace

ThreadExceptionState& ThisThread() {
  thread_local ThreadExceptionState state;
  return state;
}

void ClearThreadState(ThreadExceptionState& state) {
  state.rawObject = nullptr;
  state.address = 0;
  state.hasContext = false;
  std::memset(&state.record, 0, sizeof state.record);
  state.inner.clear();
}

ExceptionDescription Describe(const std::exception_ptr& object) {
  ExceptionDescription d;
  if (!object) return d;
  ThreadExceptionState& state = ThisThread();
  Suspend suspend(state);
  d.type = object.__cxa_exception_type();
  if (d.type) d.className = ClassNameOf(*d.type);
  d.abort = d.type && MatchesClassList(*d.type, u"EAbort");
  try {
    std::rethrow_exception(object);
  } catch (const EExternal& e) {
    d.external = true;
    d.message = FromUtf8(e.Message());
  } catch (const Exception& e) {
    // The whole message: a reported exception's is a single NUL.
    d.message = FromUtf8(e.Message());
  } catch (const std::exception& e) {
    d.message = FromUtf8(e.what());
  } catch (...) {
    // Not an exception class: its class name stands for the message.
    d.message = d.className;
  }
  return d;
}

std::u16string FromAnsi(const std::string& text) { return Decode(CP_ACP, text); }

std::u16string FromWide(const wchar_t* text) {
  std::wstring wide = text ? text : L"";
  return std::u16string(wide.begin(), wide.end());
}

std::u16string Hex8(std::uintptr_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(value));
  return FromAnsi(buffer);
}

}  // namespace ostrel::rt

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
