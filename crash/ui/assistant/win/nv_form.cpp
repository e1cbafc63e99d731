#include "crash/ui/assistant/win/nv_form.h"

#include <windowsx.h>

#include <algorithm>

#include "crash/ui/assistant/win/nv_assistant.h"
#include "crash/ui/assistant/win/page_painter.h"

namespace ostrel {

namespace {

using assistant::ItemKind;

constexpr wchar_t kPageClass[] = L"OstrelAssistantPage";

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::u16string WindowText(HWND w) {
  std::u16string s(static_cast<std::size_t>(std::max(0, GetWindowTextLengthW(w))) + 1, u'\0');
  s.resize(static_cast<std::size_t>(
      GetWindowTextW(w, reinterpret_cast<wchar_t*>(s.data()), static_cast<int>(s.size()))));
  return s;
}

HFONT MakeFont(const wchar_t* face, int height, bool bold) {
  return CreateFontW(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face);
}

COLORREF Tint(int index) {
  switch (index) {
    case assistant::kContinueButton:
      return RGB(0, 160, 0);
    case assistant::kSkipButton:
      return RGB(0, 80, 200);
    case assistant::kCancelButton:
      return RGB(200, 0, 0);
    default:
      return RGB(110, 110, 110);
  }
}

// Text measures through a screen context and the page's fonts.
class GdiMetrics final : public assistant::IPageMetrics {
 public:
  GdiMetrics(HFONT item, HFONT button, HFONT plainButton, HFONT message)
      : dc_(GetDC(nullptr)),
        item_(item),
        button_(button),
        plainButton_(plainButton),
        message_(message) {}
  ~GdiMetrics() { ReleaseDC(nullptr, dc_); }
  assistant::TextSize ButtonCaption(std::u16string_view text, bool ownerDrawn) override {
    return Measure(ownerDrawn ? button_ : plainButton_, text);
  }
  int MessageWidth(std::u16string_view text) override { return Measure(message_, text).width; }
  assistant::TextSize ItemText(std::u16string_view text) override { return Measure(item_, text); }
  assistant::TextSize WrappedText(std::u16string_view text, int width) override {
    HGDIOBJ old = SelectObject(dc_, item_);
    RECT r{0, 0, width, 0};
    const std::u16string s(text.empty() ? u" " : text);
    DrawTextW(dc_, Wide(s), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    SelectObject(dc_, old);
    return {static_cast<int>(r.right), static_cast<int>(r.bottom)};
  }
  int CheckMarkSize() override { return std::max(13, ItemText(u"Gg").height); }
  int ScreenHeight() override { return GetSystemMetrics(SM_CYSCREEN); }

 private:
  assistant::TextSize Measure(HFONT font, std::u16string_view text) {
    HGDIOBJ old = SelectObject(dc_, font);
    SIZE s{};
    const std::u16string t(text.empty() ? u" " : text);
    GetTextExtentPoint32W(dc_, Wide(t), static_cast<int>(t.size()), &s);
    SelectObject(dc_, old);
    return {text.empty() ? 0 : static_cast<int>(s.cx), static_cast<int>(s.cy)};
  }
  HDC dc_;
  HFONT item_, button_, plainButton_, message_;
};

void RegisterPageClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{sizeof wc};
    wc.lpfnWndProc = DefWindowProcW;  // the page's procedure is set on creation
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPageClass;
    return RegisterClassExW(&wc);
  }();
  (void)atom;
}

}  // namespace

TNVForm::TNVForm(TNVAssistant& assistant, assistant::PageSpec spec, int step, int stepCount)
    : assistant_(assistant), step_(step), stepCount_(stepCount) {
  values_.spec = std::move(spec);
  for (std::size_t i = 0; i < values_.spec.items.size(); ++i)
    items_.push_back(std::make_unique<TNVItem>(*this, static_cast<int>(i)));
}

TNVForm::~TNVForm() {
  if (window_) DestroyWindow(window_);
  for (HFONT f : {itemFont_, buttonFont_, messageFont_, plainButtonFont_, stepFont_, markFont_})
    if (f) DeleteObject(f);
}

HResult TNVForm::QueryInterface(const Guid&, void** out) {
  if (!out) return kPointer;
  *out = nullptr;
  return kNoInterface;  // pages are reached through their assistant
}
std::uint32_t TNVForm::AddRef() { return assistant_.AddRef(); }
std::uint32_t TNVForm::Release() { return assistant_.Release(); }
IAssistantPages* TNVForm::Assistant() { return &assistant_; }

void TNVForm::Fire(AssistantAction action, TNVItem* item) {
  INVItem* asItem = item ? item->AsItem() : nullptr;
  if (onAction_) onAction_(this, action, asItem, report_);
  if (AssistantActionRoutine all = assistant_.OnAction()) all(this, action, asItem, report_);
}

void TNVForm::SetTitleText(const std::u16string& title) {
  title_ = title;
  if (window_) SetWindowTextW(window_, Wide(title_));
}

void TNVForm::SetMessage(const std::u16string& value) {
  Spec().message = value;
  if (window_) {
    RECT header{0, 0, layout_.width, 25};
    InvalidateRect(window_, &header, TRUE);
  }
}

INVItem* TNVForm::ItemAt(std::int32_t index) {
  if (index < 0 || index >= ItemCount()) return nullptr;
  return Item(index).AsItem();
}

TNVItem* TNVForm::Find(const std::u16string& name, ItemKind kind) {
  const int i = Spec().Find(name);
  if (i < 0 || Item(i).Kind() != kind) return nullptr;
  return &Item(i);
}
INVEdit* TNVForm::FindEdit(const std::u16string& name) { return Find(name, ItemKind::Edit); }
INVLabel* TNVForm::FindLabel(const std::u16string& name) { return Find(name, ItemKind::Label); }
INVButton* TNVForm::FindButton(const std::u16string& name) { return Find(name, ItemKind::Button); }
INVCheckBox* TNVForm::FindCheckBox(const std::u16string& name) {
  return Find(name, ItemKind::CheckBox);
}
INVImage* TNVForm::FindImage(const std::u16string& name) { return Find(name, ItemKind::Image); }

void TNVForm::UpdateContinue() {
  auto& cont = Spec().Button(assistant::kContinueButton);
  const bool refused = Spec().ContinueRefused();
  if (cont.forcedDisabled == refused) return;
  cont.forcedDisabled = refused;
  if (HWND w = Item(assistant::kContinueButton).window) {
    EnableWindow(w, cont.enabled && !refused);
    InvalidateRect(w, nullptr, TRUE);
  }
}

void TNVForm::RepaintItem(int index) {
  if (!window_) return;
  TNVItem& item = Item(index);
  if (item.window) InvalidateRect(item.window, nullptr, TRUE);
  if (index < static_cast<int>(layout_.items.size())) {
    const auto& r = layout_.items[static_cast<std::size_t>(index)];
    RECT rc{r.x - 1, r.y - 1, r.Right() + 1, r.Bottom() + 1};
    InvalidateRect(window_, &rc, FALSE);
  }
}

void TNVForm::FitImage(TNVItem& image) {
  image.shown = NVBitmapPtr();
  if (!image.bitmap) return;
  const std::size_t i = static_cast<std::size_t>(image.ItemIndex());
  if (i >= layout_.imageSizes.size() || layout_.imageSizes[i].width <= 0) {
    image.shown = image.bitmap;
    return;
  }
  const auto area = layout_.imageSizes[i];
  if (image.bitmap->Width() == area.width && image.bitmap->Height() == area.height)
    image.shown = image.bitmap;
  else
    image.shown = image.bitmap->ScaledTo(area.width, area.height);
}

void TNVForm::MakeFonts() {
  if (itemFont_) return;
  itemFont_ = MakeFont(L"Tahoma", 11, false);
  plainButtonFont_ = MakeFont(L"Tahoma", 11, false);
  buttonFont_ = MakeFont(L"Arial", 15, false);
  stepFont_ = MakeFont(L"Arial", 15, false);
  messageFont_ = MakeFont(L"Arial", 15, true);
  markFont_ = MakeFont(L"Marlett", 13, false);
}

void TNVForm::LayOut() {
  MakeFonts();
  GdiMetrics metrics(itemFont_, buttonFont_, plainButtonFont_, messageFont_);
  std::vector<assistant::TextSize> bitmaps(items_.size());
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->bitmap) bitmaps[i] = {items_[i]->bitmap->Width(), items_[i]->bitmap->Height()};
  layout_ = assistant::LayOutPage(Spec(), stepCount_, metrics, bitmaps);
  for (auto& item : items_)
    if (item->Kind() == ItemKind::Image) FitImage(*item);
}

void TNVForm::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    TNVItem& item = *items_[i];
    const auto& spec = item.Spec();
    const auto& r = layout_.items[i];
    const HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i));
    DWORD style = WS_CHILD | WS_VISIBLE;
    switch (spec.kind) {
      case ItemKind::Button: {
        if (!spec.visible) continue;
        style |= WS_TABSTOP | BS_NOTIFY | (spec.noOwnerDraw ? BS_PUSHBUTTON : BS_OWNERDRAW);
        item.window = CreateWindowExW(0, L"BUTTON", Wide(spec.ShownCaption()), style, r.x, r.y,
                                      r.width, r.height, window_, id, instance, nullptr);
        break;
      }
      case ItemKind::Label:
        style |= SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
        item.window = CreateWindowExW(0, L"STATIC", Wide(spec.ShownCaption()), style, r.x, r.y,
                                      r.width, r.height, window_, id, instance, nullptr);
        break;
      case ItemKind::Edit: {
        style |= WS_TABSTOP;
        style |= spec.lines > 1 ? ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL | ES_WANTRETURN
                                : ES_AUTOHSCROLL;
        const auto w = assistant::EditWindowRect(r);
        item.window = CreateWindowExW(0, L"EDIT", Wide(spec.text), style, w.x, w.y, w.width,
                                      w.height, window_, id, instance, nullptr);
        break;
      }
      case ItemKind::CheckBox:
        style |= WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY;
        item.window = CreateWindowExW(0, L"BUTTON", Wide(spec.ShownCaption()), style, r.x, r.y,
                                      r.width, r.height, window_, id, instance, nullptr);
        break;
      case ItemKind::Image:
        break;
    }
    if (item.window) {
      SendMessageW(
          item.window, WM_SETFONT,
          reinterpret_cast<WPARAM>(spec.kind == ItemKind::Button && !spec.noOwnerDraw ? buttonFont_
                                   : spec.kind == ItemKind::Button ? plainButtonFont_
                                                                   : itemFont_),
          FALSE);
      EnableWindow(item.window, spec.enabled && !spec.forcedDisabled);
    }
  }
}

std::int32_t TNVForm::ShowPage(void* parentWindow) {
  if (skip_) {
    values_.result = kPageSkip;
    return values_.result;
  }
  if (!Spec().readError.empty()) {
    // Said once; the page shows what could be read.
    MessageBoxW(static_cast<HWND>(parentWindow), Wide(Spec().readError), L"Ostrel",
                MB_OK | MB_ICONERROR);
    Spec().readError.clear();
  }
  HWND owner = static_cast<HWND>(parentWindow);
  const bool disableOwner = owner && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);

  RegisterPageClass();
  values_.result = 0;
  ending_ = false;
  pressedImage_ = -1;
  lastFocus_ = nullptr;
  UpdateContinue();
  LayOut();
  RECT frame{0, 0, layout_.width, layout_.height};
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  // Top-most like the exception box: the program's own top-most windows
  // must not cover a page.
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST;
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  window_ = CreateWindowExW(exStyle, kPageClass, Wide(title_), style,
                            (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) {
    if (disableOwner) EnableWindow(owner, TRUE);
    values_.result = kPageCancel;
    return values_.result;
  }
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TNVForm::WindowProc));
  if (HMENU menu = GetSystemMenu(window_, FALSE))
    for (UINT cmd : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE})
      DeleteMenu(menu, cmd, MF_BYCOMMAND);
  CreateControls();
  const int focus = assistant::InitialFocus(Spec());

  Fire(kPageShowing, nullptr);
  if (skip_) {
    values_.result = kPageSkip;
  } else {
    ShowWindow(window_, SW_SHOWNORMAL);
    BringWindowToTop(window_);
    SetForegroundWindow(window_);
    if (focus >= 0) FocusItem(focus);
    if (Spec().timer > 0) SetTimer(window_, kPageTimer, static_cast<UINT>(Spec().timer), nullptr);
    MSG msg;
    while (!ending_ && window_) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
        if (!ending_) End(kPageCancel);
        break;
      }
      if (got < 0) break;
      if (PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (disableOwner) EnableWindow(owner, TRUE);
  if (window_) {
    KillTimer(window_, kPageTimer);
    HWND gone = window_;
    window_ = nullptr;
    for (auto& item : items_) item->window = nullptr;
    DestroyWindow(gone);
  }
  if (owner && IsWindow(owner)) SetForegroundWindow(owner);
  return values_.result;
}

int TNVForm::FocusedItem() {
  HWND focus = GetFocus();
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->window && items_[i]->window == focus) return static_cast<int>(i);
  return -1;
}

void TNVForm::FocusItem(int index) {
  TNVItem& item = Item(index);
  if (!item.window) return;
  SetFocus(item.window);
  if (item.Kind() == ItemKind::Edit) SendMessageW(item.window, EM_SETSEL, 0, -1);
}

bool TNVForm::PreTranslate(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_CHAR) return false;
  if (msg.hwnd != window_ && GetParent(msg.hwnd) != window_) return false;
  const int focused = FocusedItem();
  if (msg.message == WM_CHAR) {
    // The keys handled below would otherwise beep in a one-line edit.
    const bool multiLine =
        focused >= 0 && Item(focused).Kind() == ItemKind::Edit && Item(focused).Spec().lines > 1;
    return msg.wParam == L'\t' || msg.wParam == 27 || (msg.wParam == L'\r' && !multiLine);
  }
  switch (msg.wParam) {
    case VK_ESCAPE:
      if (Spec().Button(assistant::kCancelButton).enabled) End(kPageCancel);
      return true;
    case VK_TAB: {
      const bool back = GetKeyState(VK_SHIFT) < 0;
      const int next = assistant::NextFocusable(
          Spec(), focused >= 0 ? focused : assistant::kCancelButton, !back);
      if (next >= 0) FocusItem(next);
      return true;
    }
    case VK_RETURN: {
      if (focused < 0) return false;
      TNVItem& item = Item(focused);
      if (item.Kind() == ItemKind::Button) {
        Command(focused, BN_CLICKED);
        return true;
      }
      if (item.Kind() == ItemKind::Edit && item.Spec().lines > 1) return false;
      const int next = assistant::NextFocusable(Spec(), focused, true);
      if (next >= 0) FocusItem(next);
      return true;
    }
    default:
      return false;
  }
}

void TNVForm::Command(int index, int code) {
  if (index < 0 || index >= ItemCount()) return;
  TNVItem& item = Item(index);
  auto& spec = item.Spec();
  switch (item.Kind()) {
    case ItemKind::Button:
      if (code == BN_SETFOCUS) {
        // The focused button is the default one.
        for (auto& other : items_)
          if (other->window && other->Kind() == ItemKind::Button && !other->Spec().noOwnerDraw)
            InvalidateRect(other->window, nullptr, FALSE);
        if (spec.noOwnerDraw) SendMessageW(item.window, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
      } else if (code == BN_KILLFOCUS) {
        if (spec.noOwnerDraw)
          SendMessageW(item.window, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        else
          InvalidateRect(item.window, nullptr, FALSE);
      } else if (code == BN_CLICKED) {
        if (!spec.enabled || spec.forcedDisabled) return;
        if (index == assistant::kContinueButton)
          End(kPageContinue);
        else if (index == assistant::kSkipButton)
          End(kPageSkip);
        else if (index == assistant::kCancelButton)
          End(kPageCancel);
        else
          Fire(kItemAction, &item);
      }
      break;
    case ItemKind::CheckBox:
      if (code == BN_CLICKED) {
        spec.checked = !spec.checked;
        InvalidateRect(item.window, nullptr, FALSE);
        Fire(kItemAction, &item);
      } else if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
        InvalidateRect(item.window, nullptr, FALSE);
      }
      break;
    case ItemKind::Edit:
      if (code == EN_CHANGE) {
        EditChanged(index);
      } else if (code == EN_SETFOCUS || code == EN_KILLFOCUS) {
        // The 3-pixel band round the edit shows the focus.
        const auto& r = layout_.items[static_cast<std::size_t>(index)];
        RECT band{r.x - 1, r.y - 1, r.Right() + 1, r.Bottom() + 1};
        InvalidateRect(window_, &band, FALSE);
      }
      break;
    default:
      break;
  }
}

void TNVForm::EditChanged(int index) {
  TNVItem& item = Item(index);
  if (item.window) item.Spec().text = WindowText(item.window);
  Fire(kItemAction, &item);
  UpdateContinue();
  if (item.window) InvalidateRect(item.window, nullptr, FALSE);
}

void TNVForm::End(int result) {
  if (ending_) return;
  ending_ = true;
  if (window_) KillTimer(window_, kPageTimer);
  values_.result = result;
  if (result == kPageContinue)
    for (auto& item : items_)
      if (item->Kind() == ItemKind::Edit && item->window)
        item->Spec().text = WindowText(item->window);
  Fire(kPageClosing, nullptr);
}

int TNVForm::ImageAt(POINT p) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Kind() != ItemKind::Image || !items_[i]->Spec().clickable) continue;
    const auto& r = layout_.items[i];
    if (p.x >= r.x && p.x < r.Right() && p.y >= r.y && p.y < r.Bottom()) return static_cast<int>(i);
  }
  return -1;
}

void TNVForm::Paint(HDC dc) {
  page_paint::Fonts fonts{messageFont_, stepFont_, buttonFont_, itemFont_, markFont_};
  page_paint::Background(dc, layout_.width, layout_.height, layout_.panelBottom);
  page_paint::Header(dc, fonts, Spec().message, layout_.width, step_, stepCount_);
  HWND focus = GetFocus();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    TNVItem& item = *items_[i];
    const auto& r = layout_.items[i];
    RECT rc{r.x, r.y, r.Right(), r.Bottom()};
    if (item.Kind() == ItemKind::Edit && item.window) {
      page_paint::EditFrame(dc, rc, focus == item.window);
    } else if (item.Kind() == ItemKind::Image) {
      page_paint::Image(dc, rc, item.Spec().clickable, item.Spec().border, item.shown.Get());
    }
  }
}

LRESULT CALLBACK TNVForm::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<TNVForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  // A page handler's fault must not take the reporter's own window down:
  // the message counts as handled.
  try {
    return self->Handle(message, w, l);
  } catch (...) {
    return 0;
  }
}

LRESULT TNVForm::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      Paint(dc);
      EndPaint(window_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_COMMAND:
      if (l) Command(static_cast<int>(LOWORD(w)) - 100, HIWORD(w));
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(w);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(w);
      COLORREF text = RGB(0, 0, 0);
      for (auto& item : items_)
        if (item->window == reinterpret_cast<HWND>(l) && item->Spec().colored)
          text = item->Spec().valid ? RGB(0, 128, 0) : RGB(128, 0, 0);
      SetTextColor(dc, text);
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_DRAWITEM: {
      const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      const int index = static_cast<int>(d.CtlID) - 100;
      if (index < 0 || index >= ItemCount()) return FALSE;
      TNVItem& item = Item(index);
      const auto& spec = item.Spec();
      const bool enabled = spec.enabled && !spec.forcedDisabled;
      const bool focused = (d.itemState & ODS_FOCUS) != 0;
      const bool pressed = (d.itemState & ODS_SELECTED) != 0;
      page_paint::Fonts fonts{messageFont_, stepFont_, buttonFont_, itemFont_, markFont_};
      if (item.Kind() == ItemKind::CheckBox) {
        page_paint::CheckBox(d.hDC, d.rcItem, spec.ShownCaption(), spec.checked, pressed, enabled,
                             focused, fonts);
      } else {
        const auto state = !enabled  ? page_paint::ButtonState::Disabled
                           : focused ? page_paint::ButtonState::Focused
                                     : page_paint::ButtonState::Normal;
        page_paint::OwnerButton(d.hDC, d.rcItem, spec.ShownCaption(), Tint(index), state, pressed,
                                buttonFont_);
      }
      return TRUE;
    }
    case WM_TIMER:
      if (w == kPageTimer) Fire(kItemAction, nullptr);
      return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(w) == window_ && LOWORD(l) == HTCLIENT &&
          IsWindowEnabled(window_)) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window_, &p);
        if (ImageAt(p) >= 0) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      pressedImage_ = ImageAt({GET_X_LPARAM(l), GET_Y_LPARAM(l)});
      if (pressedImage_ >= 0) SetCapture(window_);
      return 0;
    case WM_LBUTTONUP: {
      const int pressed = pressedImage_;
      pressedImage_ = -1;
      if (GetCapture() == window_) ReleaseCapture();
      if (pressed >= 0 && ImageAt({GET_X_LPARAM(l), GET_Y_LPARAM(l)}) == pressed)
        Fire(kItemAction, &Item(pressed));
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(w) == WA_INACTIVE) {
        lastFocus_ = GetFocus();
      } else if (lastFocus_ && IsWindow(lastFocus_) && GetParent(lastFocus_) == window_) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_CLOSE:
      End(kPageCancel);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

}  // namespace ostrel
