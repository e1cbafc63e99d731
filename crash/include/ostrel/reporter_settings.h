#pragma once
// The reporter's settings as interfaces: IReporterSettings reads and
// overrides every setting (a module's, or one exception's through
// IExceptionReport), IReporterModuleSettings adds what only a module has.
// Slot order and identifiers are fixed: handlers in other modules call
// through them. Each getter is the setting of the same name; Set<Name>
// overrides it.

#include <cstdint>
#include <string>

#include "ostrel/report_types.h"
#include "ostrel/settings_lists.h"
#include "ostrel/unknown.h"

namespace ostrel {

// {27DBC590-890F-463E-8D05-32E33584119F}
constexpr Guid kIidReporterSettings = {
    0x27DBC590, 0x890F, 0x463E, {0x8D, 0x05, 0x32, 0xE3, 0x35, 0x84, 0x11, 0x9F}};
// {E2196B25-D73A-4F69-B79B-D65539763B31}
constexpr Guid kIidReporterModuleSettings = {
    0xE2196B25, 0xD73A, 0x4F69, {0xB7, 0x9B, 0xD6, 0x55, 0x39, 0x76, 0x3B, 0x31}};
// {8C612485-CD17-4C66-8C62-D6D94D54EA50}
constexpr Guid kIidSettingsLookup = {
    0x8C612485, 0xCD17, 0x4C66, {0x8C, 0x62, 0xD6, 0xD9, 0x4D, 0x54, 0xEA, 0x50}};

// What the assistant engine exposes of a shown assistant, so that its input
// values can be remembered and restored.
class IAssistantForms {
 public:
  virtual int PageCount() = 0;
  virtual bool PageEndedWithContinue(int page) = 0;
  virtual int InputCount(int page) = 0;
  virtual std::u16string InputName(int page, int input) = 0;
  virtual bool InputIsCheckBox(int page, int input) = 0;
  virtual std::u16string InputText(int page, int input) = 0;
  virtual void SetInputText(int page, int input, const std::u16string& text) = 0;
  virtual bool InputChecked(int page, int input) = 0;
  virtual void SetInputChecked(int page, int input, bool checked) = 0;
  virtual bool ContinueEnabled(int page) = 0;
  virtual void FocusContinue(int page) = 0;

 protected:
  ~IAssistantForms() = default;
};

class IReporterSettings : public IUnknownBase {
 public:
  // The module whose settings these are.
  virtual ModuleHandle OSTREL_CALL OwnerModule() = 0;

  // What happens by itself when an exception is handled.
  virtual bool OSTREL_CALL AutoSave() = 0;
  virtual void OSTREL_CALL SetAutoSave(bool value) = 0;
  virtual bool OSTREL_CALL AutoSaveIfNotSent() = 0;
  virtual void OSTREL_CALL SetAutoSaveIfNotSent(bool value) = 0;
  virtual bool OSTREL_CALL AutoSend() = 0;
  virtual void OSTREL_CALL SetAutoSend(bool value) = 0;
  virtual bool OSTREL_CALL AutoSendBox() = 0;
  virtual void OSTREL_CALL SetAutoSendBox(bool value) = 0;
  virtual bool OSTREL_CALL AutoClip() = 0;
  virtual void OSTREL_CALL SetAutoClip(bool value) = 0;
  virtual bool OSTREL_CALL PauseThreads() = 0;
  virtual void OSTREL_CALL SetPauseThreads(bool value) = 0;
  virtual bool OSTREL_CALL PlWaitBox() = 0;
  virtual void OSTREL_CALL SetPlWaitBox(bool value) = 0;
  virtual bool OSTREL_CALL AutoContinue() = 0;
  virtual void OSTREL_CALL SetAutoContinue(bool value) = 0;
  virtual std::int32_t OSTREL_CALL AutoRestart() = 0;
  virtual void OSTREL_CALL SetAutoRestart(std::int32_t value) = 0;
  virtual std::int32_t OSTREL_CALL AutoClose() = 0;
  virtual void OSTREL_CALL SetAutoClose(std::int32_t value) = 0;
  virtual std::int32_t OSTREL_CALL AutoDelay() = 0;
  virtual void OSTREL_CALL SetAutoDelay(std::int32_t value) = 0;

  // The exception box: its buttons and their assistants.
  virtual bool OSTREL_CALL SendBtnVis() = 0;
  virtual bool OSTREL_CALL SaveBtnVis() = 0;
  virtual bool OSTREL_CALL PrintBtnVis() = 0;
  virtual bool OSTREL_CALL ShowBtnVis() = 0;
  virtual bool OSTREL_CALL ContinueBtnVis() = 0;
  virtual bool OSTREL_CALL RestartBtnVis() = 0;
  virtual bool OSTREL_CALL CloseBtnVis() = 0;
  virtual void OSTREL_CALL SetSendBtnVis(bool value) = 0;
  virtual void OSTREL_CALL SetSaveBtnVis(bool value) = 0;
  virtual void OSTREL_CALL SetPrintBtnVis(bool value) = 0;
  virtual void OSTREL_CALL SetShowBtnVis(bool value) = 0;
  virtual void OSTREL_CALL SetContinueBtnVis(bool value) = 0;
  virtual void OSTREL_CALL SetRestartBtnVis(bool value) = 0;
  virtual void OSTREL_CALL SetCloseBtnVis(bool value) = 0;
  virtual std::int32_t OSTREL_CALL FocusedBtn() = 0;
  virtual void OSTREL_CALL SetFocusedBtn(std::int32_t value) = 0;
  virtual void OSTREL_CALL SendAssis(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendAssis(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SaveAssis(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSaveAssis(const std::u16string& value) = 0;
  virtual void OSTREL_CALL PrintAssis(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetPrintAssis(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL AutoShowBugRep() = 0;
  virtual void OSTREL_CALL SetAutoShowBugRep(bool value) = 0;
  virtual bool OSTREL_CALL UglyBtns() = 0;
  virtual void OSTREL_CALL SetUglyBtns(bool value) = 0;

  // Delivery: mail, HTTP upload and bug trackers.
  virtual bool OSTREL_CALL SendInBackgr() = 0;
  virtual void OSTREL_CALL SetSendInBackgr(bool value) = 0;
  virtual void OSTREL_CALL MailAddr(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetMailAddr(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL FogBugz() = 0;
  virtual void OSTREL_CALL SetFogBugz(bool value) = 0;
  virtual bool OSTREL_CALL BugZilla() = 0;
  virtual void OSTREL_CALL SetBugZilla(bool value) = 0;
  virtual bool OSTREL_CALL Mantis() = 0;
  virtual void OSTREL_CALL SetMantis(bool value) = 0;
  virtual bool OSTREL_CALL UploadViaHttp() = 0;
  virtual void OSTREL_CALL SetUploadViaHttp(bool value) = 0;
  virtual void OSTREL_CALL HttpServer(std::string& out) = 0;
  virtual void OSTREL_CALL SetHttpServer(const std::string& value) = 0;
  virtual bool OSTREL_CALL HttpSsl() = 0;
  virtual void OSTREL_CALL SetHttpSsl(bool value) = 0;
  virtual std::int32_t OSTREL_CALL HttpPort() = 0;
  virtual void OSTREL_CALL SetHttpPort(std::int32_t value) = 0;
  virtual void OSTREL_CALL HttpAccount(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetHttpAccount(const std::u16string& value) = 0;
  virtual void OSTREL_CALL HttpPassword(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetHttpPassword(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrAccount(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrAccount(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrPassword(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrPassword(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrProject(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrProject(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrArea(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrArea(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrAssignTo(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrAssignTo(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL MailAsSmtpServer() = 0;
  virtual void OSTREL_CALL SetMailAsSmtpServer(bool value) = 0;
  virtual bool OSTREL_CALL MailAsSmtpClient() = 0;
  virtual void OSTREL_CALL SetMailAsSmtpClient(bool value) = 0;
  virtual void OSTREL_CALL SmtpServer(std::string& out) = 0;
  virtual void OSTREL_CALL SetSmtpServer(const std::string& value) = 0;
  virtual bool OSTREL_CALL SmtpSsl() = 0;
  virtual void OSTREL_CALL SetSmtpSsl(bool value) = 0;
  virtual bool OSTREL_CALL SmtpTls() = 0;
  virtual void OSTREL_CALL SetSmtpTls(bool value) = 0;
  virtual std::int32_t OSTREL_CALL SmtpPort() = 0;
  virtual void OSTREL_CALL SetSmtpPort(std::int32_t value) = 0;
  virtual void OSTREL_CALL SmtpAccount(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSmtpAccount(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SmtpPassword(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSmtpPassword(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL MailViaMapi() = 0;
  virtual void OSTREL_CALL SetMailViaMapi(bool value) = 0;
  virtual bool OSTREL_CALL MailViaMailto() = 0;
  virtual void OSTREL_CALL SetMailViaMailto(bool value) = 0;
  virtual void OSTREL_CALL MailFrom(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetMailFrom(const std::u16string& value) = 0;
  virtual SettingsFieldList* OSTREL_CALL AdditionalFields() = 0;

  // Attachments.
  virtual bool OSTREL_CALL AttachBugRep() = 0;
  virtual void OSTREL_CALL SetAttachBugRep(bool value) = 0;
  virtual bool OSTREL_CALL AttachBugRepFile() = 0;
  virtual void OSTREL_CALL SetAttachBugRepFile(bool value) = 0;
  virtual bool OSTREL_CALL DelBugRepFile() = 0;
  virtual void OSTREL_CALL SetDelBugRepFile(bool value) = 0;
  virtual void OSTREL_CALL BugRepSendAs(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugRepSendAs(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugRepZip(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugRepZip(const std::u16string& value) = 0;
  virtual std::int32_t OSTREL_CALL ScrShotDepth() = 0;
  virtual void OSTREL_CALL SetScrShotDepth(std::int32_t value) = 0;
  virtual bool OSTREL_CALL ScrShotAppOnly() = 0;
  virtual void OSTREL_CALL SetScrShotAppOnly(bool value) = 0;
  virtual void OSTREL_CALL ScrShotSendAs(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetScrShotSendAs(const std::u16string& value) = 0;
  virtual void OSTREL_CALL ScrShotZip(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetScrShotZip(const std::u16string& value) = 0;
  virtual SettingsAttachmentList* OSTREL_CALL AdditionalAttachments() = 0;

  // The bug report file.
  virtual void OSTREL_CALL BugRepFile(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugRepFile(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL AppendBugReps() = 0;
  virtual void OSTREL_CALL SetAppendBugReps(bool value) = 0;
  virtual std::int32_t OSTREL_CALL BugRepFileSize() = 0;
  virtual void OSTREL_CALL SetBugRepFileSize(std::int32_t value) = 0;
  virtual bool OSTREL_CALL NoDupExcepts() = 0;
  virtual void OSTREL_CALL SetNoDupExcepts(bool value) = 0;
  virtual bool OSTREL_CALL NoDupFreezes() = 0;
  virtual void OSTREL_CALL SetNoDupFreezes(bool value) = 0;
  virtual std::int32_t OSTREL_CALL DupExceptDef() = 0;
  virtual void OSTREL_CALL SetDupExceptDef(std::int32_t value) = 0;
  virtual std::int32_t OSTREL_CALL DupFreezeDef() = 0;
  virtual void OSTREL_CALL SetDupFreezeDef(std::int32_t value) = 0;

  // What a report holds.
  virtual bool OSTREL_CALL ListThreads() = 0;
  virtual void OSTREL_CALL SetListThreads(bool value) = 0;
  virtual bool OSTREL_CALL CpuRegs() = 0;
  virtual void OSTREL_CALL SetCpuRegs(bool value) = 0;
  virtual bool OSTREL_CALL StackDump() = 0;
  virtual void OSTREL_CALL SetStackDump(bool value) = 0;
  virtual bool OSTREL_CALL ShowDisAsm() = 0;
  virtual void OSTREL_CALL SetShowDisAsm(bool value) = 0;
  virtual bool OSTREL_CALL HideUglyItems() = 0;
  virtual void OSTREL_CALL SetHideUglyItems(bool value) = 0;
  virtual bool OSTREL_CALL ShowRelAddrs() = 0;
  virtual void OSTREL_CALL SetShowRelAddrs(bool value) = 0;
  virtual bool OSTREL_CALL ShowRelLines() = 0;
  virtual void OSTREL_CALL SetShowRelLines(bool value) = 0;
  virtual bool OSTREL_CALL FormatDisAsm() = 0;
  virtual void OSTREL_CALL SetFormatDisAsm(bool value) = 0;
  virtual std::int32_t OSTREL_CALL LimitDisAsm() = 0;
  virtual void OSTREL_CALL SetLimitDisAsm(std::int32_t value) = 0;
  virtual bool OSTREL_CALL PluginEnabled(const std::u16string& name) = 0;
  virtual void OSTREL_CALL SetPluginEnabled(const std::u16string& name, bool on) = 0;
  virtual void OSTREL_CALL VersionText(std::u16string& out) = 0;
  virtual bool OSTREL_CALL FindAssistant(const std::u16string& name, AssistantDefinition& out) = 0;

  // Texts the user sees.
  virtual void OSTREL_CALL TitleBar(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetTitleBar(const std::u16string& value) = 0;
  virtual void OSTREL_CALL ExceptMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetExceptMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL FrozenMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetFrozenMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BitFaultMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBitFaultMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SendBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL SaveBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL PrintBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL ShowBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL ContinueBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL RestartBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL CloseBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetSaveBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetPrintBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetShowBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetContinueBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetRestartBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetCloseBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL OkBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL DetailsBtnTxt(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetOkBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetDetailsBtnTxt(const std::u16string& value) = 0;
  virtual void OSTREL_CALL PlWaitTitle(std::u16string& out) = 0;
  virtual void OSTREL_CALL PlWaitText(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetPlWaitTitle(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetPlWaitText(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrTitle(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrTitle(const std::u16string& value) = 0;
  virtual void OSTREL_CALL BugTrDescr(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetBugTrDescr(const std::u16string& value) = 0;
  virtual void OSTREL_CALL MailSubj(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetMailSubj(const std::u16string& value) = 0;
  virtual void OSTREL_CALL MailBody(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetMailBody(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SendBoxTitle(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendBoxTitle(const std::u16string& value) = 0;
  virtual void OSTREL_CALL PrepAttMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetPrepAttMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL MxLookMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetMxLookMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL ConnMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetConnMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SendMailMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendMailMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL FieldMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetFieldMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SendAttMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendAttMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SendFinalMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendFinalMsg(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SendFailMsg(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetSendFailMsg(const std::u16string& value) = 0;

 protected:
  ~IReporterSettings() = default;
};

class IReporterModuleSettings : public IReporterSettings {
 public:
  virtual bool OSTREL_CALL SettingsFound() = 0;
  virtual bool OSTREL_CALL Enabled() = 0;
  virtual bool OSTREL_CALL HasOwnSettings() = 0;
  virtual bool OSTREL_CALL MinDebugInfoMissing() = 0;
  virtual bool OSTREL_CALL CheckFileCrc() = 0;
  virtual bool OSTREL_CALL CheckFreeze() = 0;
  virtual std::int32_t OSTREL_CALL FreezeTimeout() = 0;
  virtual bool OSTREL_CALL WindowsLogo() = 0;
  virtual void OSTREL_CALL SetWindowsLogo(bool value) = 0;
  virtual bool OSTREL_CALL ReportLeaks() = 0;
  virtual bool OSTREL_CALL CheckOverruns() = 0;
  virtual bool OSTREL_CALL CheckUnderruns() = 0;

  // The two exception groups F1 and F2 (by class) and the general one (Gn).
  virtual void OSTREL_CALL F1Classes(std::u16string& out) = 0;
  virtual void OSTREL_CALL F2Classes(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetF1Classes(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetF2Classes(const std::u16string& value) = 0;
  virtual bool OSTREL_CALL F1NoBugRep() = 0;
  virtual bool OSTREL_CALL F2NoBugRep() = 0;
  virtual bool OSTREL_CALL GnNoBugRep() = 0;
  virtual void OSTREL_CALL SetF1NoBugRep(bool value) = 0;
  virtual void OSTREL_CALL SetF2NoBugRep(bool value) = 0;
  virtual void OSTREL_CALL SetGnNoBugRep(bool value) = 0;
  virtual bool OSTREL_CALL F1NoScrShot() = 0;
  virtual bool OSTREL_CALL F2NoScrShot() = 0;
  virtual bool OSTREL_CALL GnNoScrShot() = 0;
  virtual void OSTREL_CALL SetF1NoScrShot(bool value) = 0;
  virtual void OSTREL_CALL SetF2NoScrShot(bool value) = 0;
  virtual void OSTREL_CALL SetGnNoScrShot(bool value) = 0;
  virtual bool OSTREL_CALL F1NoSuspend() = 0;
  virtual bool OSTREL_CALL F2NoSuspend() = 0;
  virtual bool OSTREL_CALL GnNoSuspend() = 0;
  virtual void OSTREL_CALL SetF1NoSuspend(bool value) = 0;
  virtual void OSTREL_CALL SetF2NoSuspend(bool value) = 0;
  virtual void OSTREL_CALL SetGnNoSuspend(bool value) = 0;
  virtual bool OSTREL_CALL F1NoHandlers() = 0;
  virtual bool OSTREL_CALL F2NoHandlers() = 0;
  virtual bool OSTREL_CALL GnNoHandlers() = 0;
  virtual void OSTREL_CALL SetF1NoHandlers(bool value) = 0;
  virtual void OSTREL_CALL SetF2NoHandlers(bool value) = 0;
  virtual void OSTREL_CALL SetGnNoHandlers(bool value) = 0;
  virtual ShowMode OSTREL_CALL F1ShowCfg() = 0;
  virtual ShowMode OSTREL_CALL F2ShowCfg() = 0;
  virtual ShowMode OSTREL_CALL GnShowCfg() = 0;
  virtual void OSTREL_CALL SetF1ShowCfg(ShowMode value) = 0;
  virtual void OSTREL_CALL SetF2ShowCfg(ShowMode value) = 0;
  virtual void OSTREL_CALL SetGnShowCfg(ShowMode value) = 0;
  virtual void OSTREL_CALL F1Assis(std::u16string& out) = 0;
  virtual void OSTREL_CALL F2Assis(std::u16string& out) = 0;
  virtual void OSTREL_CALL GnAssis(std::u16string& out) = 0;
  virtual void OSTREL_CALL SetF1Assis(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetF2Assis(const std::u16string& value) = 0;
  virtual void OSTREL_CALL SetGnAssis(const std::u16string& value) = 0;

  // Reads the module's settings resource again.
  virtual void OSTREL_CALL ReparseSettings() = 0;

 protected:
  ~IReporterModuleSettings() = default;
};

// Settings by name, for what the interfaces above do not carry.
class ISettingsLookup : public IUnknownBase {
 public:
  virtual bool OSTREL_CALL LookupBool(const char* name) = 0;
  virtual std::int32_t OSTREL_CALL LookupInt(const char* name) = 0;
  virtual void OSTREL_CALL LookupText(const char* name, std::u16string& out) = 0;
  virtual std::uint32_t OSTREL_CALL LookupDword(const char* name) = 0;
  virtual void OSTREL_CALL CacheAssistantValues(IAssistantForms& assistant) = 0;
  virtual void OSTREL_CALL RestoreAssistantValues(IAssistantForms& assistant) = 0;
  virtual void* OSTREL_CALL ImplementingObject() = 0;

 protected:
  ~ISettingsLookup() = default;
};

}  // namespace ostrel
