// What each thread last raised, and how an exception object describes
// itself in a report.
#include <cxxabi.h>

#include <cstring>

#include "crash/handling/threads/thread_state.h"

#include "crash/base/utf.h"
#include "crash/base/win/wide_text.h"
#include "crash/settings/class_list.h"
#include "ostrel/exceptions.h"

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
  return FromCodePage(text);
}

}  // namespace

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
    d.message = Utf8ToUtf16(e.Message());
  } catch (const Exception& e) {
    // The whole message: a reported exception's is a single NUL.
    d.message = Utf8ToUtf16(e.Message());
  } catch (const std::exception& e) {
    d.message = Utf8ToUtf16(e.what());
  } catch (...) {
    // Not an exception class: its class name stands for the message.
    d.message = d.className;
  }
  return d;
}

}  // namespace ostrel::rt
