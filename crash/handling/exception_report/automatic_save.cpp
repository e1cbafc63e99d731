// Saving a report into the bug report file (BugRepFile), automatically at
// the end of handling.
#include "crash/handling/exception_report/automatic_save.h"

#include <shlobj.h>

#include "crash/handling/exception_report/exception_report.h"
#include "crash/report/file/report_path.h"
#include "crash/report/file/report_save.h"
#include "crash/report/file/win/file_store.h"
#include "crash/report/file/win/report_output.h"

namespace ostrel::rt {
namespace {

std::u16string ExePath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::u16string() : std::u16string(path, path + n);
}

// "%userappdata%\<program>\<name>": where a report goes when the file
// beside the program cannot be written (a folder without write access).
std::u16string FallbackPath(const std::u16string& configured) {
  if (configured.find(u'\\') != std::u16string::npos) return {};
  wchar_t appData[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData))) return {};
  std::u16string program = ExePath();
  program = program.substr(program.find_last_of(u'\\') + 1);
  program = program.substr(0, program.rfind(u'.'));
  return std::u16string(appData, appData + lstrlenW(appData)) + u"\\" + program + u"\\" +
         configured;
}

// The same rules whether an exception's settings or the program's answer.
template <class Settings>
ReportFileRules RulesOf(Settings& settings) {
  ReportFileRules rules;
  rules.append = settings.GetBool("AppendBugReps");
  const std::int32_t limit = settings.GetInt("BugRepFileSize");
  rules.sizeLimit = limit > 0 ? static_cast<std::uint32_t>(limit) : 0;
  rules.exceptionDuplicates = settings.GetBool("NoDupExcepts");
  rules.freezeDuplicates = settings.GetBool("NoDupFreezes");
  rules.exceptionDuplicateLevel = settings.GetInt("DupExceptDef");
  rules.freezeDuplicateLevel = settings.GetInt("DupFreezeDef");
  return rules;
}

struct LookupSettings {
  ISettingsLookup& lookup;
  bool GetBool(const char* name) { return lookup.LookupBool(name); }
  std::int32_t GetInt(const char* name) { return lookup.LookupInt(name); }
};

std::u16string ExeFolder() {
  const std::u16string path = ExePath();
  return path.substr(0, path.find_last_of(u'\\') + 1);
}

}  // namespace

ReportOutputSettings OutputSettingsOf(TExceptionReport& report) {
  ReportOutputSettings s;
  s.bugRepFile = report.GetText("BugRepFile");
  s.saveTitle = report.GetText("SaveBtnTxt");
  s.printTitle = report.GetText("PrintBtnTxt");
  s.exeFolder = ExeFolder();
  s.fallback = FallbackPath(s.bugRepFile);
  s.rules = RulesOf(report);
  return s;
}

ReportOutputSettings OutputSettingsOf(ISettingsLookup& settings) {
  ReportOutputSettings s;
  settings.LookupText("BugRepFile", s.bugRepFile);
  settings.LookupText("SaveBtnTxt", s.saveTitle);
  settings.LookupText("PrintBtnTxt", s.printTitle);
  s.exeFolder = ExeFolder();
  s.fallback = FallbackPath(s.bugRepFile);
  LookupSettings adaptor{settings};
  s.rules = RulesOf(adaptor);
  return s;
}

bool SaveBugReportInteractively(TExceptionReport& report, const std::u16string& text,
                                void* window) {
  if (text.empty()) return false;
  const bool saved =
      SaveReportInteractively(text, static_cast<HWND>(window), OutputSettingsOf(report));
  if (saved) report.SetSavedFlag(true);
  return saved;
}

bool PrintBugReport(TExceptionReport& report, const std::u16string& text, void* window) {
  return !text.empty() &&
         PrintReportText(text, static_cast<HWND>(window), OutputSettingsOf(report));
}

bool SaveBugReportAutomatically(TExceptionReport& report, const std::u16string& text) {
  if (text.empty()) return false;
  const std::u16string configured = report.GetText("BugRepFile");
  if (configured.empty()) return false;
  const std::u16string folder = ExeFolder();
  TWin32ReportFileStore store;
  const SaveOutcome outcome = SaveReport(store, AbsoluteReportPath(configured, folder),
                                         FallbackPath(configured), text, RulesOf(report));
  if (outcome.saved) report.SetSavedFlag(true);
  return outcome.saved;
}

}  // namespace ostrel::rt
