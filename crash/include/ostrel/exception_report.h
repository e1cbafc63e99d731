#pragma once
// One exception on its way through the reporter, as handlers see it
// (IExceptionReport), and the report's header and sections (IReportFields).

#include <cstdint>
#include <exception>
#include <string>

#include "ostrel/report_types.h"
#include "ostrel/reporter_settings.h"

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

 protected:
  ~IReportFields() = default;
};

class IExceptionReport;

// Told of every change of a report's text; complete: the report is complete.
using ReportCallback = void (*)(bool complete, const std::u16string& text,
                                IExceptionReport* report);
using ReportMethodCallback = void (*)(void* object, bool complete, const std::u16string& text,
                                      IExceptionReport* report);

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
  virtual ostrel::InterceptionSource OSTREL_CALL InterceptionSource() = 0;
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
  virtual ostrel::ShowMode OSTREL_CALL ShowMode() = 0;
  virtual void OSTREL_CALL SetShowMode(ostrel::ShowMode value) = 0;
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

}  // namespace ostrel
