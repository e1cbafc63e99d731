// The contact page's handler: the name and address it offers again when the
// user asked to be remembered, the address check, and the sender it gives
// the report.

#include <windows.h>

#include "crash/ui/assistant/email_address.h"
#include "crash/ui/assistant/win/nv_assistant.h"

namespace ostrel {

namespace {

constexpr wchar_t kRememberKey[] = L"Software\\Verrick\\ContactForm";

std::u16string ReadRemembered(const wchar_t* value) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kRememberKey, value, RRF_RT_REG_SZ, &type, buffer, &size) !=
      ERROR_SUCCESS)
    return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

void Remember(const std::u16string& name, const std::u16string& email) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRememberKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  auto put = [&](const wchar_t* value, const std::u16string& text) {
    RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
  };
  put(L"RememberName", name);
  put(L"RememberEmail", email);
  RegCloseKey(key);
}

void Forget() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRememberKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, L"RememberName");
  RegDeleteValueW(key, L"RememberEmail");
  RegCloseKey(key);
}

std::u16string TextOf(INVEdit* edit) {
  std::u16string text;
  if (edit) edit->Text(text);
  return text;
}

}  // namespace

void HandleContactForm(INVForm* page, AssistantAction action, INVItem* item,
                       IExceptionReport* report) {
  if (!page) return;
  INVEdit* name = page->FindEdit(u"NameEdit");
  INVEdit* email = page->FindEdit(u"EmailEdit");
  INVCheckBox* memory = page->FindCheckBox(u"MemCheck");
  switch (action) {
    case kPageCreated: {
      const std::u16string rememberedName = ReadRemembered(L"RememberName");
      const std::u16string rememberedEmail = ReadRemembered(L"RememberEmail");
      if (rememberedName.empty() && rememberedEmail.empty()) return;
      if (name) name->SetText(rememberedName);
      if (email) email->SetText(rememberedEmail);
      if (memory) memory->SetChecked(true);
      auto& form = static_cast<TNVForm&>(*page);
      const auto& cont = form.Spec().Button(assistant::kContinueButton);
      if (cont.enabled && !form.Spec().ContinueRefused()) form.Spec().activeControl = cont.name;
      return;
    }
    case kItemAction:
      if (email && item == static_cast<INVItem*>(email))
        email->SetValid(assistant::IsValidEmailAddress(TextOf(email)));
      return;
    case kPageClosing: {
      if (page->ModalResult() != kPageContinue) return;
      const std::u16string nameText = TextOf(name), emailText = TextOf(email);
      if (memory && memory->Checked())
        Remember(nameText, emailText);
      else
        Forget();
      if (report && !emailText.empty())
        report->SetMailFrom(nameText.empty() ? emailText : nameText + u" <" + emailText + u">");
      return;
    }
    default:
      return;
  }
}

}  // namespace ostrel
