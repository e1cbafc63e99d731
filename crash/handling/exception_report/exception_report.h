#pragma once
// TExceptionReport: one exception on its way through the reporter, the
// IExceptionReport front. Every settings key reads through the exception's
// own override list first. Its callbacks, its actions and its completion
// thread are objects of their own; its lists are composed
// (report_composition.cpp) and completed (report_completion.cpp) here.

#include <atomic>
#include <mutex>
#include <vector>

#include "crash/base/ref_counted.h"
#include "crash/flow/class_filter.h"
#include "crash/handling/exception_report/completion_thread.h"
#include "crash/handling/exception_report/fields_interface.h"
#include "crash/handling/exception_report/report_actions.h"
#include "crash/handling/exception_report/report_callbacks.h"
#include "crash/handling/exception_report/report_host.h"
#include "crash/handling/threads/thread_state.h"
#include "crash/imaging/win/nv_bitmap.h"
#include "crash/report/compose/report_fields_list.h"
#include "crash/report/stack/win/thread_stacks.h"
#include "crash/settings/exception_settings.h"

namespace ostrel {

// {0BCABCF1-B70F-4952-B907-A129A9BD19FD}
constexpr Guid kIidExceptionReportEx = {
    0x0BCABCF1, 0xB70F, 0x4952, {0xB9, 0x07, 0xA1, 0x29, 0xA9, 0xBD, 0x19, 0xFD}};

struct ReportCreation {
  ComPtr<IReporterModuleSettings> settings;
  ReportKind kind = ReportKind::Exception;
  std::exception_ptr object;
  std::uintptr_t address = 0;
  bool canContinue = true;
  DWORD threadId = 0;
  std::uintptr_t stackPointer = 0, framePointer = 0;
  const CONTEXT* context = nullptr;
  const EXCEPTION_RECORD* record = nullptr;
  InterceptionSource source = kSourceDirect;
  void* relatedObject = nullptr;
  std::uintptr_t package = 0;
  std::string preparedStack;
  bool trace = false;  // a trace of the process asked for from outside
};

class TExceptionReport final : public ReporterSettingsAdaptor<IExceptionReport>,
                               public SettingsLookupAdaptor,
                               public ExceptionSettingsCore {
 public:
  static ComPtr<TExceptionReport> Create(rt::IReportHost& host, const ReportCreation& creation);

  HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) override;
  std::uint32_t OSTREL_CALL AddRef() override { return refs_.Increment(); }
  std::uint32_t OSTREL_CALL Release() override;
  SettingsCore& Core() override { return *this; }

  std::uint8_t OSTREL_CALL CurrentPhase() override { return phase_; }
  bool OSTREL_CALL Continuable() override { return canContinue_; }
  void OSTREL_CALL SetContinuable(bool value) override {
    canContinue_ = value && originallyContinuable_;
  }
  ostrel::ReportKind OSTREL_CALL ReportKind() override { return kind_; }
  const std::exception_ptr* OSTREL_CALL ExceptionObject() override {
    return object_ ? &object_ : nullptr;
  }
  void OSTREL_CALL ExceptionClassName(std::u16string& out) override;
  void OSTREL_CALL ExceptionText(std::u16string& out) override;
  void OSTREL_CALL SetExceptionText(const std::u16string& text) override;
  std::uintptr_t OSTREL_CALL FaultAddress() override { return address_; }
  std::uint32_t OSTREL_CALL FaultingThreadId() override { return threadId_; }
  std::uint32_t OSTREL_CALL ThreadStackId(int index) override;
  void OSTREL_CALL ThreadCallStack(int index, std::u16string& out) override;
  std::uint32_t OSTREL_CALL StackChecksum(int index) override {
    return index >= 0 && index < 3 ? checksums_[index] : 0;
  }
  const void* OSTREL_CALL ProcessorContext() override { return hasContext_ ? &context_ : nullptr; }
  void OSTREL_CALL ReadSystemRecord(void* out80) override;
  void OSTREL_CALL WriteSystemRecord(const void* record80) override;
  ostrel::InterceptionSource OSTREL_CALL InterceptionSource() override { return source_; }
  void* OSTREL_CALL AssociatedObject() override { return relatedObject_; }
  std::uintptr_t OSTREL_CALL PackageHandle() override { return package_; }
  IReportFields* OSTREL_CALL ReportHeader() override;
  IReportFields* OSTREL_CALL ReportSections() override;
  void OSTREL_CALL FinishedReportText(std::u16string& out) override { ReportText(true, out); }
  void OSTREL_CALL SetReportText(const std::u16string& text) override;
  void OSTREL_CALL ReportText(bool mustBeComplete, std::u16string& out) override;
  void OSTREL_CALL TakeScreenShot() override;
  void OSTREL_CALL ReplaceScreenShot(IUnknownBase* bitmap) override;
  void OSTREL_CALL EnterUpdate() override { ++updates_; }
  void OSTREL_CALL LeaveUpdate() override;
  void OSTREL_CALL RegisterReportCallback(ReportCallback routine, bool critical) override;
  void OSTREL_CALL RegisterReportMethodCallback(ReportMethodCallback method, void* object,
                                                bool critical) override;
  void OSTREL_CALL UnregisterReportCallback(ReportCallback routine) override;
  void OSTREL_CALL UnregisterReportMethodCallback(ReportMethodCallback method,
                                                  void* object) override;
  bool OSTREL_CALL MakeBugReport() override { return filter_.createBugReport; }
  void OSTREL_CALL SetMakeBugReport(bool value) override { filter_.createBugReport = value; }
  bool OSTREL_CALL MakeScreenShot() override { return filter_.createScreenshot; }
  void OSTREL_CALL SetMakeScreenShot(bool value) override { filter_.createScreenshot = value; }
  bool OSTREL_CALL RunHandlers() override { return filter_.callHandlers; }
  void OSTREL_CALL SetRunHandlers(bool value) override { filter_.callHandlers = value; }
  void OSTREL_CALL SetPhaseAndFire(std::uint8_t phase, bool& handled) override {
    StorePhase(phase);
    actions_.FirePhase(phase_, handled);
  }
  bool OSTREL_CALL AttachScreenShot() override { return filter_.appendScreenshot; }
  void OSTREL_CALL SetAttachScreenShot(bool value) override { filter_.appendScreenshot = value; }
  ostrel::ShowMode OSTREL_CALL ShowMode() override { return filter_.show; }
  void OSTREL_CALL SetShowMode(ostrel::ShowMode value) override;
  void OSTREL_CALL ShowAssistantName(std::u16string& out) override { out = filter_.showAssistant; }
  void OSTREL_CALL SetShowAssistantName(const std::u16string& value) override {
    filter_.showAssistant = value;
  }
  void OSTREL_CALL PresentException() override { actions_.Present(); }
  void OSTREL_CALL OpenReportView(void* window) override { actions_.OpenView(window); }
  void OSTREL_CALL SendAction(void* window) override { actions_.Send(window); }
  void OSTREL_CALL SaveAction(void* window) override { actions_.Save(window); }
  void OSTREL_CALL PrintAction(void* window) override { actions_.Print(window); }
  void OSTREL_CALL ContinueAction(void* window) override { actions_.Continue(window); }
  void OSTREL_CALL RestartAction(void* window) override { actions_.Restart(window); }
  void OSTREL_CALL CloseAction(void* window) override { actions_.Close(window); }

  // The handling flow's own use.
  // Phase 3 becomes 4 when the report is complete. Of this and the end of
  // the completion (EnterCompletePhase) exactly one moves the report on.
  void StorePhase(std::uint8_t phase) {
    phase_ = phase;
    if (phase == 3 && complete_) EnterCompletePhase(false);
  }
  // 3 → 4; fire: the completion runs the phase's handlers itself.
  bool EnterCompletePhase(bool fire);
  // Phase 3, or 4 when the report is complete, with its handlers; a phase 4
  // the completion entered meanwhile is not fired twice.
  void EnterShowingPhase();
  bool CriticalCallbackExists() const { return callbacks_.AnyCritical(); }
  void SetInnerExceptions(std::vector<rt::InnerException> inner) { inner_ = std::move(inner); }
  const std::vector<rt::InnerException>& InnerExceptions() const { return inner_; }
  bool PauseThreadsWanted() const { return filter_.pauseThreads; }
  INVBitmap* Screenshot() { return screenshot_.Get(); }
  // Fires the handlers of one kind as the flow's rules say.
  void FireActions(ReportAction action, void* window, bool& handled) {
    actions_.Fire(action, window, handled);
  }
  // Where this report's handlers run and what they are handed.
  DispatchContext Dispatch() { return actions_.Dispatch(); }
  // The exception was shown in a window.
  bool ShownInGui() const { return shownInGui_; }
  void SetShownInGui() { shownInGui_ = true; }
  bool SentFlag() const { return sent_; }
  // The thread of a background delivery, for the end of handling to wait for.
  HANDLE* SendThreadSlot() { return &sendThread_; }
  void SetSentFlag(bool value) { sent_ = value; }
  bool SavedFlag() const { return saved_; }
  void SetSavedFlag(bool value) { saved_ = value; }
  // True exactly once per report.
  bool FirstAutomaticSave() { return automaticSaves_.fetch_add(1) == 0; }
  bool FirstCompletion() { return completions_.fetch_add(1) == 0; }
  // The header and the sections with their placeholders, built once
  // (report_composition.cpp); the completion fills them in
  // (report_completion.cpp), normally on a thread of its own.
  void BuildLists();
  void CompleteReport();
  // The share of each walk in the please-wait box: its stack's size.
  std::vector<std::uint64_t> WalkWeights() const;
  // The report is built now and completed only when asked for.
  void SetDontCompleteYet() { dontCompleteYet_ = true; }

 protected:
  ExpansionArgs ExpansionArguments() override;
  bool TakesScreenshot() override { return filter_.createScreenshot; }

 private:
  TExceptionReport(rt::IReportHost& host, ComPtr<IReporterModuleSettings> settings);
  ~TExceptionReport() override;
  void Changed();
  void BuildHeader(TReportFields& header);
  void BuildSections(TReportFields& sections);
  ThreadWalkOptions WalkOptions();
  void ReplaceSectionContents(const std::u16string& title, const std::u16string& contents);
  std::u16string Disassembly(std::uint32_t functionStart, std::uint32_t address);

  RefCount refs_;
  rt::IReportHost& host_;
  ReportCallbacks callbacks_;
  ReportActions actions_;
  std::atomic<std::uint8_t> phase_{0};
  bool canContinue_ = true, originallyContinuable_ = true;
  ostrel::ReportKind kind_ = ostrel::ReportKind::Exception;
  std::exception_ptr object_;
  rt::ExceptionDescription description_;
  std::uintptr_t address_ = 0;
  DWORD threadId_ = 0;
  std::uint32_t checksums_[3] = {};
  std::uintptr_t stackPointer_ = 0, framePointer_ = 0;
  CONTEXT context_{};
  bool hasContext_ = false;
  EXCEPTION_RECORD record_{};
  ostrel::InterceptionSource source_ = kSourceDirect;
  void* relatedObject_ = nullptr;
  std::uintptr_t package_ = 0;
  std::string preparedStack_;
  bool trace_ = false;
  std::u16string reportText_;
  std::uint64_t textChanges_ = ~std::uint64_t{0};  // changes_ when reportText_ was made
  std::atomic<bool> complete_{false};
  // The report's lists and what their completion needs.
  std::unique_ptr<TReportFields> header_, sections_;
  std::unique_ptr<TReportFieldsObject> headerObject_, sectionsObject_;
  std::atomic<std::uint64_t> changes_{0};
  struct ThreadSection {
    std::u16string title, prefix, creatorTitle;
    int innerLevel = 0;
  };
  std::vector<ThreadSection> threadSections_;
  std::vector<ThreadWalk> walks_;
  bool dontCompleteYet_ = false;
  bool completionElsewhereAllowed_ = false;
  NVBitmapPtr screenshot_;
  bool screenshotTried_ = false;
  std::atomic<int> updates_{0};
  std::atomic<int> automaticSaves_{0};
  std::atomic<int> completions_{0};
  std::atomic<bool> sent_{false}, saved_{false};
  HANDLE sendThread_ = nullptr;
  // Set by whichever thread changes the report while an update is open.
  std::atomic<bool> changedWhileUpdating_{false};
  std::recursive_mutex lock_;
  ClassFilterResult filter_;
  bool haveText_ = false;
  std::u16string className_, text_;
  SYSTEMTIME time_{};
  std::vector<rt::InnerException> inner_;
  std::uint64_t number_ = 0;  // "exception number"
  bool shownInGui_ = false;
  // Last, so destroyed first, while the rest of the report exists. Its
  // thread holds a reference: it has ended, or it is the one destroying.
  CompletionThread completion_{*this};
};

}  // namespace ostrel
