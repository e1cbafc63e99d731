#include "crash/ui/assistant/win/assistant_flow.h"

namespace ostrel {

void StoreAssistantValues(TNVAssistant& assistant, IExceptionReport& report) {
  IReportFields* header = report.ReportHeader();
  IReportFields* sections = report.ReportSections();
  if (!header || !sections) return;
  assistant::StoreValues(assistant.Values(), *header, *sections);
}

AssistantOutcome RunReportAssistant(IExceptionReport& report, const std::u16string& name,
                                    HWND owner, const AssistantHost& host) {
  AssistantDefinition definition;
  if (name.empty() || !report.FindAssistant(name, definition)) return AssistantOutcome::Missing;
  ComPtr<TNVAssistant> assistant = TNVAssistant::Create(definition, &report, host);
  ComPtr<ISettingsLookup> lookup =
      ComPtr<IExceptionReport>(&report).As<ISettingsLookup>(kIidSettingsLookup);
  auto forms = assistant->Forms();
  if (lookup) lookup->RestoreAssistantValues(forms);

  const bool topMost = owner && (GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (topMost) SetWindowPos(owner, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  const AssistantResult result = assistant->ShowPages(owner);
  if (topMost && IsWindow(owner))
    SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  if (result == kAssistantCompleted) StoreAssistantValues(*assistant, report);
  if (lookup) lookup->CacheAssistantValues(forms);
  return result == kAssistantCompleted ? AssistantOutcome::Completed : AssistantOutcome::Cancelled;
}

}  // namespace ostrel
