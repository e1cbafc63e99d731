#include "crash/ui/assistant/win/nv_assistant.h"

#include "crash/base/text_case.h"
#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/win/loaded_symbols.h"
#include "crash/settings/win/win_code_page.h"
#include "crash/ui/assistant/form_stream.h"

namespace ostrel {

namespace {

// The page's description as stored in the module; empty when there is none.
std::span<const std::uint8_t> PageResource(HMODULE module, const std::u16string& page) {
  const std::u16string name = assistant::PageResourceName(page);
  HRSRC found = FindResourceW(module, reinterpret_cast<const wchar_t*>(name.c_str()), RT_RCDATA);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return {static_cast<const std::uint8_t*>(data), SizeofResource(module, found)};
}

}  // namespace

AssistantActionRoutine ResolvePageAction(const std::u16string& text, HMODULE module) {
  if (text.empty()) return nullptr;
  if (EqualsNoCase(text, u"Ostrel.HandleContactForm")) return &HandleContactForm;
  if (EqualsNoCase(text, u"Ostrel.HandleScreenshotForm")) return &HandleScreenshotForm;
  const std::size_t dot = text.rfind(u'.');
  const std::u16string unit = dot == std::u16string::npos ? u"" : text.substr(0, dot);
  const std::u16string procedure = dot == std::u16string::npos ? text : text.substr(dot + 1);
  if (procedure.empty()) return nullptr;
  const auto symbols = SymbolsForModule(reinterpret_cast<std::uintptr_t>(module));
  const std::uint32_t address = unit.empty() ? PublicByNameInAnyUnit(*symbols, true, procedure)
                                             : PublicByName(*symbols, true, unit, false, procedure);
  return address ? reinterpret_cast<AssistantActionRoutine>(static_cast<std::uintptr_t>(address))
                 : nullptr;
}

ComPtr<TNVAssistant> TNVAssistant::Create(const AssistantDefinition& definition,
                                          IExceptionReport* report, AssistantHost host) {
  auto* made = new TNVAssistant();
  made->AddRef();
  ComPtr<TNVAssistant> self = ComPtr<TNVAssistant>::Adopt(made);
  // Before the pages are created: their handlers use it from the start.
  self->host = std::move(host);
  self->title_ = definition.title;
  self->report_ = report;
  HMODULE module = reinterpret_cast<HMODULE>(definition.module);
  if (!module) module = GetModuleHandleW(nullptr);
  const WinCodePage codePage;
  const int count = static_cast<int>(definition.pages.size());
  for (int i = 0; i < count; ++i) {
    const std::u16string& name = definition.pages[static_cast<std::size_t>(i)];
    assistant::PageSpec spec = assistant::EmptyPage(name);
    const auto data = PageResource(module, name);
    if (!data.empty()) assistant::ApplyDescription(assistant::ReadFormStream(data), codePage, spec);
    const std::u16string onAction = spec.onAction;
    auto page = std::make_unique<TNVForm>(*self, std::move(spec), i + 1, count);
    page->SetTitleText(self->title_);
    page->SetExceptionReport(report);
    page->SetOnAction(ResolvePageAction(onAction, module));
    self->pages_.push_back(std::move(page));
  }
  for (auto& page : self->pages_) page->Fire(kPageCreated, nullptr);
  return self;
}

assistant::FormsView TNVAssistant::Forms() {
  std::vector<assistant::PageValues*> values;
  for (auto& page : pages_) values.push_back(&page->Values());
  return assistant::FormsView(std::move(values), [this](int page, int item) {
    Page(page).Fire(kItemAction, &Page(page).Item(item));
    Page(page).UpdateContinue();
  });
}

std::vector<const assistant::PageValues*> TNVAssistant::Values() {
  std::vector<const assistant::PageValues*> values;
  for (auto& page : pages_) values.push_back(&page->Values());
  return values;
}

HResult TNVAssistant::QueryInterface(const Guid& iid, void** out) {
  if (!out) return kPointer;
  if (SameGuid(iid, kIidAssistantPages) || SameGuid(iid, kIidUnknown)) {
    *out = static_cast<IAssistantPages*>(this);
    AddRef();
    return kOk;
  }
  *out = nullptr;
  return kNoInterface;
}

std::uint32_t TNVAssistant::Release() {
  const std::uint32_t left = refs_.Decrement();
  if (left == 0) delete this;
  return left;
}

void TNVAssistant::SetTitle(const std::u16string& value) {
  title_ = value;
  for (auto& page : pages_) page->SetTitleText(value);
}

INVForm* TNVAssistant::PageAt(std::int32_t index) {
  if (index < 0 || index >= PageCount()) return nullptr;
  return &Page(index);
}

INVForm* TNVAssistant::PageByName(const std::u16string& name) {
  for (auto& page : pages_)
    if (EqualsNoCase(page->Spec().name, name)) return page.get();
  return nullptr;
}

void TNVAssistant::SetExceptionReport(IExceptionReport* value) {
  report_ = value;
  for (auto& page : pages_) page->SetExceptionReport(value);
}

AssistantResult TNVAssistant::ShowPages(void* parentWindow) {
  HWND parent = static_cast<HWND>(parentWindow);
  const bool disable = parent && IsWindowEnabled(parent);
  if (disable) EnableWindow(parent, FALSE);
  result_ = kAssistantCompleted;
  for (auto& page : pages_) {
    // Each page disables its owner itself only when it finds it enabled.
    if (page->ShowPage(parent) == kPageCancel) {
      result_ = kAssistantCancelled;
      break;
    }
  }
  if (disable) EnableWindow(parent, TRUE);
  return static_cast<AssistantResult>(result_);
}

}  // namespace ostrel
