#pragma once
// What each thread last raised, recorded on every throw and rethrow (see
// interception/raise_hooks.cpp), and how an exception object describes
// itself in a report.

#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

namespace ostrel::rt {

// An older exception still alive when a newer one was raised.
struct InnerException {
  std::u16string className, message;
  bool external = false;
  std::uintptr_t address = 0;
  CONTEXT context{};
};

// What a thread last raised.
struct ThreadExceptionState {
  const void* rawObject = nullptr;  // the thrown object, compared by address
  std::uintptr_t address = 0;
  CONTEXT context{};
  bool hasContext = false;
  EXCEPTION_RECORD record{};
  std::vector<InnerException> inner;  // newest first
  int suspended = 0;                  // inside the reporter: nothing is recorded
};
ThreadExceptionState& ThisThread();
void ClearThreadState(ThreadExceptionState& state);
// Records a throw of `object` from `address` in this thread's state.
void RecordThrow(const void* object, std::uintptr_t address);

// libstdc++ keeps the thrown object's address as the exception_ptr's first
// member; comparing it tells whether two pointers hold the same exception.
inline const void* RawObject(const std::exception_ptr& p) {
  const void* raw = nullptr;
  static_assert(sizeof(p) == sizeof(raw));
  __builtin_memcpy(&raw, &p, sizeof raw);
  return raw;
}

// Class name and message of an exception object, as the report shows them.
struct ExceptionDescription {
  std::u16string className;  // empty: no valid object
  std::u16string message;
  const std::type_info* type = nullptr;
  bool external = false;
  bool abort = false;
};
ExceptionDescription Describe(const std::exception_ptr& object);

}  // namespace ostrel::rt
