#include "crash/ui/choice_box/win/choice_box.h"

#include <windows.h>

#include <algorithm>

namespace ostrel {
namespace {

constexpr int kFirstButton = 100;

// Dialog templates are arrays of WORDs with DWORD-aligned items.
class Template {
 public:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const std::u16string& text) {
    for (char16_t c : text) Word(c);
    Word(0);
  }
  void Align() {
    if (words_.size() % 2) Word(0);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
            const std::u16string& text) {
    Align();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Word(id);
    Word(0xFFFF);
    Word(cls);
    Text(text);
    Word(0);
  }
  const WORD* Data() const { return words_.data(); }
  std::vector<WORD>& Words() { return words_; }

 private:
  std::vector<WORD> words_;
};

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM w, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetForegroundWindow(box);
      MessageBeep(MB_ICONERROR);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(w) >= kFirstButton) EndDialog(box, LOWORD(w) - kFirstButton);
      if (LOWORD(w) == IDCANCEL) EndDialog(box, -1);
      return TRUE;
    case WM_CLOSE:
      EndDialog(box, -1);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int ChoiceBox(const std::u16string& title, const std::u16string& text,
              const std::vector<std::u16string>& buttons) {
  const short buttonWidth = 56, gap = 6, margin = 8;
  const short count = static_cast<short>(buttons.size());
  const short width = std::max<short>(220, margin * 2 + count * buttonWidth + (count - 1) * gap);
  const short height = 64;
  Template t;
  t.Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
          WS_SYSMENU);
  t.Dword(WS_EX_TOPMOST);
  t.Word(static_cast<WORD>(1 + count));
  t.Word(0);
  t.Word(0);
  t.Word(static_cast<WORD>(width));
  t.Word(static_cast<WORD>(height));
  t.Word(0);  // no menu
  t.Word(0);  // standard class
  t.Text(title);
  t.Word(8);
  t.Text(u"MS Shell Dlg");
  t.Item(SS_LEFT, margin, margin, static_cast<short>(width - 2 * margin), 26, 0xFFFF, 0x0082, text);
  short x = static_cast<short>(width - margin - count * buttonWidth - (count - 1) * gap);
  for (short i = 0; i < count; ++i) {
    t.Item((i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, x, height - 22, buttonWidth,
           14, static_cast<WORD>(kFirstButton + i), 0x0080, buttons[static_cast<std::size_t>(i)]);
    x = static_cast<short>(x + buttonWidth + gap);
  }
  const INT_PTR chosen =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                              reinterpret_cast<const DLGTEMPLATE*>(t.Data()), nullptr, BoxProc, 0);
  return chosen >= 0 && chosen < count ? static_cast<int>(chosen) : -1;
}

}  // namespace ostrel
