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

#include "crash/core/flow/handler_types.h"
#include "crash/core/flow/report_kind.h"
#include "crash/core/settings/settings_interfaces.h"

namespace ostrel {

// {5EE7E49B-571F-4504-B9E6-1EEF6587C51F}
constexpr Guid kIidExceptionReport = {
    0x5EE7E49B, 0x571F, 0x4504, {0xB9, 0xE6, 0x1E, 0xEF, 0x65, 0x87, 0xC5, 0x1F}};

// {6B1F2C9A-3D47-4E85-A0C2-7F19D4E6B3A8}
constexpr Guid kIidReportFields = {
    0x6B1F2C9A, 0x3D47, 0x4E85, {0xA0, 0xC2, 0x7F, 0x19, 0xD4, 0xE6, 0xB3, 0xA8}};

// The report's header (one entry per field) or its sections (one per
// section): names match without regard to case, contents are trimmed, and
// empty contents remove an entry. New names go to the insertion index: in
// the header, directly before "callstack crc". Changes are told to the
// report's callbacks. The object lives as long as its report; CopyFields
// gives a separate list (one reference, released by the caller).
class IReportFields : public IUnknownBase {
 public:
  virtual void OSTREL_CALL LockFields() = 0;
  virtual void OSTREL_CALL UnlockFields() = 0;
  virtual std::int32_t OSTREL_CALL FieldCount() = 0;
  virtual void OSTREL_CALL FieldName(std::int32_t index, std::u16string& out) = 0;
  virtual void OSTREL_CALL RenameField(std::int32_t index, const std::u16string& name) = 0;
  virtual std::int32_t OSTREL_CALL IndexOfField(const std::u16string& name) = 0;
  virtual void OSTREL_CALL FieldContents(const std::u16string& name, std::u16string& out) = 0;
  virtual void OSTREL_CALL SetField(const std::u16string& name, const std::u16string& contents) = 0;
  virtual void OSTREL_CALL AddField(const std::u16string& name, const std::u16string& contents) = 0;
  virtual void OSTREL_CALL InsertField(std::int32_t index, const std::u16string& name,
                                       const std::u16string& contents) = 0;
  virtual void OSTREL_CALL DeleteField(std::int32_t index) = 0;
  virtual void OSTREL_CALL RemoveField(const std::u16string& name) = 0;
  virtual IReportFields* OSTREL_CALL CopyFields() = 0;
};

// Where an exception was intercepted.
enum InterceptionSource : std::uint8_t {
  kSourceDirect = 0,           // ReportException called by the program or the reporter
  kSourceFreeze = 1,           // the freeze watcher
  kSourceWindowProc = 5,       // escaped a window procedure or callback
  kSourceSynchronize = 10,     // raised by a call run on the main thread for another thread
  kSourceRuntimeError = 11,    // the run-time's final error (abort, terminate, pure call...)
  kSourceLibraryInit = 12,     // a library's initialisation
  kSourceUnhandled = 13,       // nobody handled it in its thread
  kSourceUnmappedSystem = 14,  // a system exception the run-time has no class for
  kSourceHidden = 15,          // handled by the program itself (hidden-exception handlers)
};

// Action codes handed to action handlers.
enum ReportAction : int {
  kActionSend = 0,
  kActionSave = 1,
  kActionPrint = 2,
  kActionSendAssistant = 3,
  kActionSaveAssistant = 4,
  kActionPrintAssistant = 5,
  kActionSent = 6,
  kActionSaved = 7,
  kActionPrinted = 8,
  kActionDetails = 9,
  kActionHelp = 10,
  kActionContinue = 11,
  kActionRestart = 12,
  kActionClose = 13,
};

using ReportCallback = void (*)(bool complete, const std::u16string& text,
                                class IExceptionReport* report);
using ReportMethodCallback = void (*)(void* object, bool complete, const std::u16string& text,
                                      class IExceptionReport* report);

// One exception on its way through the reporter. Every settings key can be
// read and overridden for this exception alone through IReporterSettings.
class IExceptionReport : public IReporterSettings {
 public:
  virtual std::uint8_t OSTREL_CALL CurrentPhase() = 0;
  virtual bool OSTREL_CALL Continuable() = 0;
  // False is always taken; true only for an exception that was continuable.
  virtual void OSTREL_CALL SetContinuable(bool value) = 0;
  virtual ostrel::ReportKind OSTREL_CALL ReportKind() = 0;
  // The C++ exception, or null (a system exception, a freeze).
  virtual const std::exception_ptr* OSTREL_CALL ExceptionObject() = 0;
  virtual void OSTREL_CALL ExceptionClassName(std::u16string& out) = 0;
  virtual void OSTREL_CALL ExceptionText(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetExceptionText(const std::u16string& text) = 0;
  virtual std::uintptr_t OSTREL_CALL FaultAddress() = 0;
  virtual std::uint32_t OSTREL_CALL FaultingThreadId() = 0;
  virtual std::uint32_t OSTREL_CALL ThreadStackId(int index) = 0;
  virtual void OSTREL_CALL ThreadCallStack(int index, std::u16string& out) = 0;
  virtual std::uint32_t OSTREL_CALL StackChecksum(int index) = 0;
  // The processor context (a 32-bit CONTEXT), or null.
  virtual const void* OSTREL_CALL ProcessorContext() = 0;
  // The 80-byte system exception record; zero when there is none.
  virtual void OSTREL_CALL ReadSystemRecord(void* out80) = 0;
  virtual void OSTREL_CALL WriteSystemRecord(const void* record80) = 0;
  virtual std::uint8_t OSTREL_CALL InterceptionSource() = 0;
  virtual void* OSTREL_CALL AssociatedObject() = 0;
  virtual std::uintptr_t OSTREL_CALL PackageHandle() = 0;
  virtual IReportFields* OSTREL_CALL ReportHeader() = 0;
  virtual IReportFields* OSTREL_CALL ReportSections() = 0;
  virtual void OSTREL_CALL FinishedReportText(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetReportText(const std::u16string& text) = 0;
  virtual void OSTREL_CALL ReportText(bool mustBeComplete, std::u16string& out) = 0;
  virtual void OSTREL_CALL TakeScreenShot() = 0;
  virtual void OSTREL_CALL ReplaceScreenShot(IUnknownBase* bitmap) = 0;
  virtual void OSTREL_CALL EnterUpdate() = 0;
  virtual void OSTREL_CALL LeaveUpdate() = 0;
  virtual void OSTREL_CALL RegisterReportCallback(ReportCallback routine, bool critical) = 0;
  virtual void OSTREL_CALL RegisterReportMethodCallback(ReportMethodCallback method, void* object,
                                                        bool critical) = 0;
  virtual void OSTREL_CALL UnregisterReportCallback(ReportCallback routine) = 0;
  virtual void OSTREL_CALL UnregisterReportMethodCallback(ReportMethodCallback method,
                                                          void* object) = 0;
  virtual bool OSTREL_CALL MakeBugReport() = 0;
  virtual void OSTREL_CALL SetMakeBugReport(bool value) = 0;
  virtual bool OSTREL_CALL MakeScreenShot() = 0;
  virtual void OSTREL_CALL SetMakeScreenShot(bool value) = 0;
  virtual bool OSTREL_CALL RunHandlers() = 0;
  virtual void OSTREL_CALL SetRunHandlers(bool value) = 0;
  virtual void OSTREL_CALL SetPhaseAndFire(std::uint8_t phase, bool& handled) = 0;
  virtual bool OSTREL_CALL AttachScreenShot() = 0;
  virtual void OSTREL_CALL SetAttachScreenShot(bool value) = 0;
  virtual std::int32_t OSTREL_CALL ShowMode() = 0;
  virtual void OSTREL_CALL SetShowMode(std::int32_t value) = 0;
  virtual void OSTREL_CALL ShowAssistantName(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetShowAssistantName(const std::u16string& value) = 0;
  virtual void OSTREL_CALL PresentException() = 0;
  virtual void OSTREL_CALL OpenReportView(void* window) = 0;
  virtual void OSTREL_CALL SendAction(void* window) = 0;
  virtual void OSTREL_CALL SaveAction(void* window) = 0;
  virtual void OSTREL_CALL PrintAction(void* window) = 0;
  virtual void OSTREL_CALL ContinueAction(void* window) = 0;
  virtual void OSTREL_CALL RestartAction(void* window) = 0;
  virtual void OSTREL_CALL CloseAction(void* window) = 0;

 protected:
  ~IExceptionReport() = default;
};

// The reporter's exception classes. Processor exceptions arrive as
// EExternal descendants; an EAbort is silent.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }

 private:
  std::string message_;
};
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};

// A processor or system exception. Which code maps to which class, and the
// message, follow the run-time's conventions.
class EExternal : public Exception {
 public:
  EExternal(std::uint32_t code, std::string message) : Exception(std::move(message)), code_(code) {}
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};
#define OSTREL_EXTERNAL_CLASS(Name, Base) \
  class Name : public Base {              \
   public:                                \
    using Base::Base;                     \
  }
OSTREL_EXTERNAL_CLASS(EAccessViolation, EExternal);
OSTREL_EXTERNAL_CLASS(EStackOverflow, EExternal);
OSTREL_EXTERNAL_CLASS(EPrivilege, EExternal);
OSTREL_EXTERNAL_CLASS(EControlC, EExternal);
OSTREL_EXTERNAL_CLASS(EIntError, EExternal);
OSTREL_EXTERNAL_CLASS(EDivByZero, EIntError);
OSTREL_EXTERNAL_CLASS(EIntOverflow, EIntError);
OSTREL_EXTERNAL_CLASS(ERangeError, EIntError);
OSTREL_EXTERNAL_CLASS(EMathError, EExternal);
OSTREL_EXTERNAL_CLASS(EZeroDivide, EMathError);
OSTREL_EXTERNAL_CLASS(EInvalidOp, EMathError);
OSTREL_EXTERNAL_CLASS(EOverflow, EMathError);
OSTREL_EXTERNAL_CLASS(EUnderflow, EMathError);
#undef OSTREL_EXTERNAL_CLASS
// The reporter's own class, for what the run-time has no exception for.
class EOstrelError : public Exception {
 public:
  using Exception::Exception;
};

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
  std::uint8_t source = kSourceDirect;
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
// violation in a library the procedure called, say) is reported (source 5,
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
