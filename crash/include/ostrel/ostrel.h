#pragma once
// Ostrel, the crash reporter, as a program that links it sees it. Linking the
// library and embedding a settings file (ostrel_embed_settings in CMake) is
// all a program needs: the reporter starts before the program's own static
// initialisation and catches every exception of every thread. This header is
// for programs that want more: reporting an exception they caught, naming
// threads, registering handlers, calling the main thread from a worker.

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "ostrel/com_ptr.h"
#include "ostrel/delivery_tuning.h"
#include "ostrel/exception_report.h"
#include "ostrel/exceptions.h"
#include "ostrel/handler_types.h"
#include "ostrel/version.h"

namespace ostrel {

// Reports the exception this thread is handling (call it inside a catch
// block) and returns once it has been handled; restart and close never
// return.
void ReportException(bool canContinue = true);

// The full entry every interception point ends in.
struct ReportRequest {
  ReportKind kind = ReportKind::Exception;
  std::exception_ptr object;   // none: the one being handled, if any
  std::uintptr_t address = 0;  // none: where it was raised
  std::u16string* reportOut = nullptr;
  std::uintptr_t package = 0;
  void* relatedObject = nullptr;
  InterceptionSource source = kSourceDirect;
  const void* context = nullptr;       // a 32-bit CONTEXT
  const void* systemRecord = nullptr;  // an EXCEPTION_RECORD
  std::uintptr_t framePointer = 0, stackPointer = 0;
  bool canContinue = true;
  std::uint32_t threadId = 0;  // the thread it belongs to; none: this one
};
void ReportException(const ReportRequest& request);

// The thread the reporter took for the program's main thread.
std::uint32_t MainThreadId();
// The name a thread has in the reporter's thread registry (empty: none).
std::u16string ThreadNameOf(std::uint32_t threadId);
// When the last ten exceptions were handled, newest first: whole seconds
// since 1601 (UTC), 0 for none. A restarted program inherits them.
void ExceptionTimes(std::uint64_t (&out)[10]);

// A report plug-in: when the `Plugins` setting names it, its text becomes a
// section of its own (ownSection) or one header field, both under its name.
// Appended after the ones registered before; the first of a name counts.
void AddReportPlugin(const std::u16string& name, const std::u16string& description,
                     std::u16string (*callback)(), bool ownSection);
// Removes the first plug-in of exactly that name; false when there is none.
bool RemoveReportPlugin(const std::u16string& name);

// Names a thread in reports (and for a debugger, when one is attached).
void SetThreadName(std::uint32_t threadId, const std::u16string& name);

// Runs `call` on the main thread and waits for it. An EAbort it raises is
// raised again here; any other exception is reported there (and not raised
// again here).
void Synchronize(const std::function<void()>& call);

// Handler registration. Phases 1 to 4; modes: run on the handling thread,
// on the main thread, on the main thread or else the handling thread.
bool RegisterExceptionHandler(ExceptionHandlerRoutine routine, SyncMode mode, std::uint8_t phase);
bool RegisterExceptionHandler(ExceptionHandlerMethod method, void* object, SyncMode mode,
                              std::uint8_t phase);
bool UnregisterExceptionHandler(ExceptionHandlerRoutine routine);
bool UnregisterExceptionHandler(ExceptionHandlerMethod method, void* object);
bool RegisterActionHandler(ActionHandlerRoutine routine, SyncMode mode);
bool RegisterActionHandler(ActionHandlerMethod method, void* object, SyncMode mode);
bool UnregisterActionHandler(ActionHandlerRoutine routine);
bool UnregisterActionHandler(ActionHandlerMethod method, void* object);
bool RegisterHiddenExceptionHandler(HiddenHandlerRoutine routine, SyncMode mode);
bool RegisterHiddenExceptionHandler(HiddenHandlerMethod method, void* object, SyncMode mode);
bool UnregisterHiddenExceptionHandler(HiddenHandlerRoutine routine);
bool UnregisterHiddenExceptionHandler(HiddenHandlerMethod method, void* object);

// Runs a window procedure's work so that no exception escapes into the
// system's frames: a C++ exception or a processor exception (an access
// violation in a library the procedure called, say) is reported (kSourceWindowProc,
// continuable) and `fallback` is returned. Every window procedure and
// callback goes through it. After a processor exception the frames between
// the guard and the fault are abandoned without running their destructors.
template <class Work, class Result>
Result GuardWindowProc(void* window, Work&& work, Result fallback);
void ReportWindowProcException(void* window);

namespace detail {
// Calls call(state) inside a frame that catches processor exceptions;
// false when one was caught and reported.
bool RunGuarded(void* window, void (*call)(void*), void* state);
}  // namespace detail

// The reporter's temporary folder, with a trailing backslash.
std::u16string TempFolder();

}  // namespace ostrel

template <class Work, class Result>
Result ostrel::GuardWindowProc(void* window, Work&& work, Result fallback) {
  struct Call {
    Work* work;
    void* window;
    std::optional<Result> result;
    static void Run(void* p) {
      Call& c = *static_cast<Call*>(p);
      try {
        c.result.emplace(std::forward<Work>(*c.work)());
      } catch (...) {
        ReportWindowProcException(c.window);
      }
    }
  };
  Call call{&work, window, std::nullopt};
  detail::RunGuarded(window, &Call::Run, &call);
  if (call.result) return std::move(*call.result);
  return fallback;
}
