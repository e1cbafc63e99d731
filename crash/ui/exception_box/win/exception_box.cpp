// The exception box on the platform's own controls: a static message, seven
// owner-drawn buttons (or OK and Details in the plain boxes), a count-down
// on the automatic choice, and the details view of tabs and lists that
// follows the report while it is still being completed.
#include "crash/ui/exception_box/win/exception_box.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "crash/base/win/wide_text.h"
#include "crash/ui/clipboard/win/clipboard.h"
#include "crash/ui/exception_box/box_text.h"
#include "crash/ui/exception_box/detail_lists.h"

namespace ostrel {
namespace {

using box::BoxMode;

constexpr int kButtonIdBase = 1000;
constexpr int kTabsId = 900, kViewId = 901;

COLORREF Shifted(COLORREF c, bool half) {
  const int step = half ? 8 : 16;
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  const int over = (r + step > 255) + (g + step > 255) + (b + step > 255);
  if (over <= 1)
    return RGB(std::min(255, r + step), std::min(255, g + step), std::min(255, b + step));
  return RGB(std::max(0, r - step), std::max(0, g - step), std::max(0, b - step));
}

// One text setting of the report (the getters' calling convention is the
// interface's own).
template <typename Get>
std::u16string Text(IExceptionReport& r, Get get) {
  std::u16string out;
  (r.*get)(out);
  return out;
}

// What the report's change callback reaches. The report calls its
// callbacks from a copy of its list, so one may still arrive after the box
// unregistered and is gone: the link outlives the box (a few bytes per box
// shown) and only ever posts to the window it names, if any.
struct BoxLink {
  std::atomic<HWND> window{nullptr};
};

class TExceptionBox {
 public:
  TExceptionBox(IExceptionReport& report, BoxMode mode, const ExceptionBoxHost& host)
      : report_(report), mode_(mode), host_(host), plain_(mode != BoxMode::Full) {
    details_ = !plain_ && report_.AutoShowBugRep();
  }
  ~TExceptionBox();

  // false: the window could not be made.
  bool Create(bool beep);
  void Loop();
  bool ShowAgainWithDetails() const { return reshow_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l);
  static void OnReportChanged(void* self, bool, const std::u16string&, IExceptionReport*);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);

  void ReadTexts();
  void MakeFonts();
  void Layout();
  void CreateButtons();
  void StartCountDown();
  void StopCountDown();
  void DrawButton(const DRAWITEMSTRUCT& item);
  void DrawListRow(const DRAWITEMSTRUCT& item);
  void Choose(int button);
  void CloseByDefault();
  void RefreshTabs();
  void ShowTab(bool force);
  void CopyToClipboardKey();
  int ButtonIndex(HWND control) const;

  IExceptionReport& report_;
  const BoxMode mode_;
  const ExceptionBoxHost& host_;
  BoxLink* const link_ = new BoxLink;
  const bool plain_;
  bool details_ = false;
  bool canContinue_ = true;
  bool ugly_ = false;
  bool reshow_ = false;
  bool shuttingDown_ = false;

  std::u16string title_, message_, plainMessage_;
  std::array<std::u16string, 7> captions_;
  std::array<bool, 7> visible_{};
  int focused_ = -1;

  HWND window_ = nullptr;
  HWND messageControl_ = nullptr;
  std::array<HWND, 7> buttons_{};
  HWND tabs_ = nullptr;
  HWND view_ = nullptr;
  HFONT dialogFont_ = nullptr, fixedFont_ = nullptr, smallFont_ = nullptr, boldFont_ = nullptr;
  HIMAGELIST rowHeight_ = nullptr;
  box::BoxLayout layout_;

  int countDown_ = -1;
  DWORD countDownStart_ = 0;
  int mark_ = -1;

  std::vector<std::u16string> tabNames_;
  int currentTab_ = -1;
  std::u16string shownText_;
  box::TabContents contents_;
};

TExceptionBox::~TExceptionBox() {
  report_.UnregisterReportMethodCallback(&TExceptionBox::OnReportChanged, link_);
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  if (rowHeight_) ImageList_Destroy(rowHeight_);
  for (HFONT font : {dialogFont_, fixedFont_, smallFont_, boldFont_}) {
    if (font) DeleteObject(font);
  }
}

void TExceptionBox::ReadTexts() {
  canContinue_ = report_.Continuable();
  ugly_ = report_.UglyBtns();
  if (!plain_ && report_.AutoShowBugRep()) report_.SetShowBtnVis(false);
  const bool closeVisible = report_.CloseBtnVis(), restartVisible = report_.RestartBtnVis(),
             continueVisible = report_.ContinueBtnVis();
  if (host_.autoButtonDue && host_.autoButtonDue(report_.AutoClose()) && closeVisible) {
    report_.SetFocusedBtn(box::kClose);
  } else if (host_.autoButtonDue && host_.autoButtonDue(report_.AutoRestart()) && restartVisible) {
    report_.SetFocusedBtn(box::kRestart);
  } else if (report_.AutoContinue() && continueVisible && canContinue_) {
    report_.SetFocusedBtn(box::kContinue);
  }
  std::u16string cls, msg;
  report_.ExceptionClassName(cls);
  report_.ExceptionText(msg);
  plainMessage_ = msg;
  msg = box::BreakMessageLines(msg);
  const bool frozen = report_.ReportKind() == ReportKind::Frozen;
  const auto expand = [&](const std::u16string& text) {
    return host_.expand ? host_.expand(text) : text;
  };
  if (!plain_ || frozen) {
    message_ = expand(
        Text(report_, frozen ? &IReporterSettings::FrozenMsg : &IReporterSettings::ExceptMsg));
  } else {
    message_ = msg;
  }
  if (!plain_) {
    title_ = expand(Text(report_, &IReporterSettings::TitleBar));
  } else {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string name = FromWide(path);
    name = name.substr(name.find_last_of(u"\\/") + 1);
    title_ = name.substr(0, name.rfind(u'.'));
  }
  if (plain_) {
    captions_[box::kContinue] = Text(report_, &IReporterSettings::OkBtnTxt);
    captions_[box::kShow] = Text(report_, &IReporterSettings::DetailsBtnTxt);
    visible_[box::kContinue] = true;
    visible_[box::kShow] = mode_ == BoxMode::PlainWithDetails;
    focused_ = box::kContinue;
    return;
  }
  captions_ = {Text(report_, &IReporterSettings::SendBtnTxt),
               Text(report_, &IReporterSettings::SaveBtnTxt),
               Text(report_, &IReporterSettings::PrintBtnTxt),
               Text(report_, &IReporterSettings::ShowBtnTxt),
               Text(report_, &IReporterSettings::ContinueBtnTxt),
               Text(report_, &IReporterSettings::RestartBtnTxt),
               Text(report_, &IReporterSettings::CloseBtnTxt)};
  visible_ = {report_.SendBtnVis(), report_.SaveBtnVis(), report_.PrintBtnVis(),
              report_.ShowBtnVis(), continueVisible,      restartVisible,
              closeVisible};
  focused_ = report_.FocusedBtn();
  if (focused_ < 0 || focused_ > 6 || !visible_[static_cast<std::size_t>(focused_)]) focused_ = -1;
}

void TExceptionBox::MakeFonts() {
  dialogFont_ =
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  if (!dialogFont_)
    dialogFont_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                              L"MS Sans Serif");
  boldFont_ = CreateFontW(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
  fixedFont_ =
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Courier New");
  smallFont_ =
      CreateFontW(-8, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Small Fonts");
}

void TExceptionBox::Layout() {
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, dialogFont_);
  box::BoxLayoutInput in;
  in.mode = mode_;
  in.uglyButtons = ugly_;
  in.details = details_;
  in.visible = visible_;
  for (std::size_t i = 0; i < 7; ++i) {
    SIZE size{};
    const std::u16string& caption = captions_[i];
    GetTextExtentPoint32W(dc, WidePtr(caption), static_cast<int>(caption.size()), &size);
    in.captionWidths[i] = size.cx;
  }
  in.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  in.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  in.captionHeight = GetSystemMetrics(SM_CYCAPTION);
  // Measured as text, never as a format: the message is the program's data.
  in.measureMessage = [&](int width) {
    RECT r{0, 0, width, 0};
    DrawTextW(dc, WidePtr(message_), static_cast<int>(message_.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    return box::BoxSize{r.right - r.left, r.bottom - r.top};
  };
  layout_ = box::LayoutBox(in);
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
}

void TExceptionBox::CreateButtons() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Created in the order the Tab key visits them: OK before Details.
  static constexpr std::array<std::size_t, 7> kFull{0, 1, 2, 3, 4, 5, 6},
      kPlain{4, 3, 0, 1, 2, 5, 6};
  for (std::size_t i : plain_ ? kPlain : kFull) {
    if (!visible_[i]) continue;
    const box::BoxRect& r = layout_.buttons[i];
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    style |= plain_ ? (static_cast<int>(i) == focused_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)
                    : BS_OWNERDRAW | BS_NOTIFY;  // BS_NOTIFY: told of focus changes
    buttons_[i] = CreateWindowExW(
        0, L"BUTTON", WidePtr(captions_[i]), style, r.x, r.y, r.width, r.height, window_,
        reinterpret_cast<HMENU>(kButtonIdBase + static_cast<int>(i)), instance, nullptr);
    SendMessageW(buttons_[i], WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
  }
  // A program that cannot go on offers no continue where it can restart or close.
  if (!plain_ && buttons_[box::kContinue] && !canContinue_ &&
      (visible_[box::kRestart] || visible_[box::kClose]))
    EnableWindow(buttons_[box::kContinue], FALSE);
}

bool TExceptionBox::Create(bool beep) {
  ReadTexts();
  MakeFonts();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TExceptionBox::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"OstrelWndClass";
  RegisterClassExW(&wc);
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (details_) style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  window_ =
      CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, L"OstrelWndClass", WidePtr(title_),
                      style, 100, 100, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!window_) return false;
  if (!details_) {
    HMENU menu = GetSystemMenu(window_, FALSE);
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE})
      DeleteMenu(menu, command, MF_BYCOMMAND);
  }
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
  Layout();
  messageControl_ =
      CreateWindowExW(0, L"STATIC", WidePtr(message_), WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                      layout_.message.x, layout_.message.y, layout_.message.width,
                      layout_.message.height, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(messageControl_, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
  CreateButtons();
  if (details_) {
    const box::BoxRect& t = layout_.tabs;
    tabs_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, t.x,
                            t.y, t.width, t.height, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabsId)),
                            GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), FALSE);
    rowHeight_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    RefreshTabs();
  }
  // The client area gets the laid-out size, centred on the screen.
  RECT outer{0, 0, layout_.width, layout_.height};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
  const int w = outer.right - outer.left, h = outer.bottom - outer.top;
  SetWindowPos(window_, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, SWP_NOACTIVATE);
  link_->window = window_;
  report_.RegisterReportMethodCallback(&TExceptionBox::OnReportChanged, link_, false);
  if (beep) MessageBeep(MB_ICONHAND);
  ShowWindow(window_, SW_SHOWNORMAL);
  if (IsIconic(window_)) ShowWindow(window_, SW_RESTORE);
  BringWindowToTop(window_);
  SetForegroundWindow(window_);
  if (focused_ >= 0 && buttons_[static_cast<std::size_t>(focused_)])
    SetFocus(buttons_[static_cast<std::size_t>(focused_)]);
  StartCountDown();
  if (report_.ReportKind() == ReportKind::Frozen && host_.watchMainThread)
    host_.watchMainThread(window_);
  return true;
}

void TExceptionBox::StartCountDown() {
  const auto due = [&](std::int32_t value) {
    return host_.autoButtonDue && host_.autoButtonDue(value);
  };
  countDown_ = -1;
  if (plain_) return;
  if (due(report_.AutoClose()) && buttons_[box::kClose]) {
    countDown_ = box::kClose;
  } else if (due(report_.AutoRestart()) && buttons_[box::kRestart]) {
    countDown_ = box::kRestart;
  } else if (report_.AutoContinue() && buttons_[box::kContinue] && canContinue_) {
    countDown_ = box::kContinue;
  }
  if (countDown_ < 0) return;
  countDownStart_ = GetTickCount();
  SetTimer(window_, kBoxCountDownTimer, 10, nullptr);
}

void TExceptionBox::StopCountDown() {
  if (countDown_ < 0) return;
  KillTimer(window_, kBoxCountDownTimer);
  const int button = countDown_;
  countDown_ = -1;
  mark_ = -1;
  InvalidateRect(buttons_[static_cast<std::size_t>(button)], nullptr, FALSE);
}

int TExceptionBox::ButtonIndex(HWND control) const {
  for (std::size_t i = 0; i < 7; ++i) {
    if (buttons_[i] && buttons_[i] == control) return static_cast<int>(i);
  }
  return -1;
}

void TExceptionBox::DrawButton(const DRAWITEMSTRUCT& item) {
  const int index = static_cast<int>(item.CtlID) - kButtonIdBase;
  if (index < 0 || index > 6) return;
  const RECT r = item.rcItem;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  HDC dc = item.hDC;
  const int width = r.right - r.left, height = r.bottom - r.top;
  // Drawn off the screen first, then copied: no flicker while counting down.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HGDIOBJ oldFont = SelectObject(memory, dialogFont_);
  SetBkMode(memory, TRANSPARENT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE), dark = GetSysColor(COLOR_3DDKSHADOW);
  const bool deep = GetDeviceCaps(dc, BITSPIXEL) >= 15;
  COLORREF background = deep ? Shifted(face, disabled) : face;
  COLORREF text = RGB(0, 0, 0);
  RECT area{0, 0, width, height};
  int offset = 0;
  if (ugly_) {
    FillRect(memory, &area, GetSysColorBrush(COLOR_BTNFACE));
    DrawFrameControl(memory, &area, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    offset = 2;
  } else {
    if (focused) {
      background = dark;
      text = RGB(255, 255, 255);
    }
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &area, brush);
    DeleteObject(brush);
  }
  const std::u16string& caption = captions_[static_cast<std::size_t>(index)];
  SIZE size{};
  GetTextExtentPoint32W(memory, WidePtr(caption), static_cast<int>(caption.size()), &size);
  const int x = 27 + (width - size.cx - 35) / 2 + offset, y = 4 + offset;
  if (disabled) {
    SetTextColor(memory, RGB(255, 255, 255));
    TextOutW(memory, x + 1, y + 1, WidePtr(caption), static_cast<int>(caption.size()));
    SetTextColor(memory, dark);
  } else {
    SetTextColor(memory, text);
  }
  TextOutW(memory, x, y, WidePtr(caption), static_cast<int>(caption.size()));
  if (ugly_ && focused) {
    RECT focus{3, 3, width - 3, height - 3};
    DrawFocusRect(memory, &focus);
  }
  if (index == countDown_ && mark_ >= 0) {
    HPEN pen = CreatePen(PS_SOLID, 1, ugly_ ? dark : face);
    HGDIOBJ oldPen = SelectObject(memory, pen);
    MoveToEx(memory, mark_, 0, nullptr);
    LineTo(memory, mark_, height);
    SelectObject(memory, oldPen);
    DeleteObject(pen);
  }
  BitBlt(dc, r.left, r.top, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void TExceptionBox::Choose(int button) {
  StopCountDown();
  HWND self = window_;
  switch (button) {
    case box::kSend:
      report_.SendAction(self);
      break;
    case box::kSave:
      report_.SaveAction(self);
      break;
    case box::kPrint:
      report_.PrintAction(self);
      break;
    case box::kShow:
      if (host_.fireAction) host_.fireAction(9, self);
      reshow_ = true;
      DestroyWindow(self);
      break;
    case box::kContinue:
      if (plain_) {
        // OK: the program goes on where it can, else it closes.
        if (canContinue_) {
          report_.ContinueAction(self);
        } else {
          report_.CloseAction(self);
        }
      } else if (canContinue_) {
        report_.ContinueAction(self);
      } else {
        report_.CloseAction(self);
      }
      break;
    case box::kRestart:
      report_.RestartAction(self);
      break;
    case box::kClose:
      report_.CloseAction(self);
      break;
    default:
      break;
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void TExceptionBox::CloseByDefault() {
  if (focused_ >= box::kContinue && focused_ <= box::kClose) {
    Choose(focused_);
  } else if (buttons_[box::kContinue] && canContinue_) {
    Choose(box::kContinue);
  } else if (buttons_[box::kClose]) {
    Choose(box::kClose);
  } else if (buttons_[box::kRestart]) {
    Choose(box::kRestart);
  } else {
    report_.CloseAction(window_);
  }
}

// Header fields and sections as the details view lists them.
using Fields = std::vector<std::pair<std::u16string, std::u16string>>;
Fields ReadFields(IReportFields* list) {
  Fields fields;
  if (!list) return fields;
  list->LockFields();
  const std::int32_t count = list->FieldCount();
  for (std::int32_t i = 0; i < count; ++i) {
    std::u16string name, contents;
    list->FieldName(i, name);
    list->FieldContents(name, contents);
    fields.emplace_back(std::move(name), std::move(contents));
  }
  list->UnlockFields();
  return fields;
}

void TExceptionBox::RefreshTabs() {
  if (!tabs_) return;
  const Fields header = ReadFields(report_.ReportHeader());
  const Fields sections = ReadFields(report_.ReportSections());
  std::vector<std::u16string> headerNames, sectionNames;
  for (const auto& f : header) headerNames.push_back(f.first);
  for (const auto& f : sections) sectionNames.push_back(f.first);
  const std::vector<std::u16string> wanted = box::DetailTabs(headerNames, sectionNames);
  if (wanted != tabNames_) {
    // Tabs follow the report's sections as they appear.
    const std::u16string current =
        currentTab_ >= 0 && static_cast<std::size_t>(currentTab_) < tabNames_.size()
            ? tabNames_[static_cast<std::size_t>(currentTab_)]
            : std::u16string();
    TabCtrl_DeleteAllItems(tabs_);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      std::wstring title = Wide(wanted[i]);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = title.data();
      SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    tabNames_ = wanted;
    int select = 0;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      if (wanted[i] == current) select = static_cast<int>(i);
    }
    TabCtrl_SetCurSel(tabs_, select);
    if (currentTab_ != select) shownText_.clear();
    currentTab_ = select;
  }
  ShowTab(false);
}

void TExceptionBox::ShowTab(bool force) {
  if (!tabs_ || currentTab_ < 0 || static_cast<std::size_t>(currentTab_) >= tabNames_.size())
    return;
  const std::u16string& tab = tabNames_[static_cast<std::size_t>(currentTab_)];
  const std::u16string text =
      box::TabText(tab, ReadFields(report_.ReportHeader()), ReadFields(report_.ReportSections()));
  if (!force && view_ && text == shownText_) return;
  shownText_ = text;
  contents_ = box::FormatTab(tab, text);
  if (view_) DestroyWindow(view_);
  view_ = nullptr;
  RECT r;
  GetClientRect(tabs_, &r);
  TabCtrl_AdjustRect(tabs_, FALSE, &r);
  MapWindowPoints(tabs_, window_, reinterpret_cast<POINT*>(&r), 2);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HFONT font = contents_.fixedFont ? fixedFont_ : dialogFont_;
  if (!contents_.list) {
    view_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, r.left,
        r.top, r.right - r.left, r.bottom - r.top, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewId)), instance, nullptr);
    SendMessageW(view_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowTextW(view_, WidePtr(contents_.plainText));
  } else {
    DWORD style =
        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS;
    if (!contents_.columnHeader) style |= LVS_NOCOLUMNHEADER;
    view_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style, r.left, r.top, r.right - r.left,
                        r.bottom - r.top, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewId)), instance, nullptr);
    SendMessageW(view_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(view_, LVS_EX_FULLROWSELECT);
    if (rowHeight_) ListView_SetImageList(view_, rowHeight_, LVSIL_SMALL);
    for (std::size_t c = 0; c < contents_.columns.size(); ++c) {
      std::wstring title = Wide(contents_.columns[c].title);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
      column.fmt = contents_.columns[c].right     ? LVCFMT_RIGHT
                   : contents_.columns[c].centred ? LVCFMT_CENTER
                                                  : LVCFMT_LEFT;
      column.cx = 80;
      column.pszText = title.data();
      SendMessageW(view_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    for (std::size_t i = 0; i < contents_.rows.size(); ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      std::wstring empty;
      item.pszText = empty.data();
      SendMessageW(view_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    // Every column as wide as its widest cell.
    HDC dc = GetDC(view_);
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<int> widths(contents_.columns.size(), 0);
    for (std::size_t c = 0; c < contents_.columns.size(); ++c) {
      SIZE size{};
      const std::u16string& title = contents_.columns[c].title;
      GetTextExtentPoint32W(dc, WidePtr(title), static_cast<int>(title.size()), &size);
      widths[c] = size.cx + 12;
    }
    for (const box::ListRow& row : contents_.rows) {
      if (row.groupHeader) continue;
      std::size_t c = 0, start = 0;
      for (; c < widths.size(); ++c) {
        const std::size_t end = row.text.find(u'\t', start);
        const std::u16string cell = row.text.substr(
            start, end == std::u16string::npos ? std::u16string::npos : end - start);
        SIZE size{};
        GetTextExtentPoint32W(dc, WidePtr(cell), static_cast<int>(cell.size()), &size);
        widths[c] = std::max(widths[c], static_cast<int>(size.cx) + 10);
        if (end == std::u16string::npos) break;
        start = end + 1;
      }
    }
    SelectObject(dc, old);
    ReleaseDC(view_, dc);
    for (std::size_t c = 0; c < widths.size(); ++c)
      ListView_SetColumnWidth(view_, static_cast<int>(c), widths[c]);
  }
  SetWindowPos(view_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TExceptionBox::DrawListRow(const DRAWITEMSTRUCT& item) {
  if (item.itemID >= contents_.rows.size()) return;
  const box::ListRow& row = contents_.rows[item.itemID];
  HDC dc = item.hDC;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const auto darker = [&](COLORREF c) {
    return selected ? RGB(std::max(0, GetRValue(c) - 16), std::max(0, GetGValue(c) - 16),
                          std::max(0, GetBValue(c) - 16))
                    : c;
  };
  SetBkMode(dc, TRANSPARENT);
  HFONT font = contents_.fixedFont ? fixedFont_ : dialogFont_;
  HGDIOBJ oldFont = SelectObject(dc, font);
  RECT whole = item.rcItem;
  if (row.groupHeader) {
    HBRUSH brush = CreateSolidBrush(darker(RGB(255, 255, 255)));
    FillRect(dc, &whole, brush);
    DeleteObject(brush);
    std::u16string text = row.text;
    if (text.rfind(u">> ", 0) == 0) text.erase(0, 3);
    RECT r = whole;
    r.left += 6;
    if (row.boldHeader) SelectObject(dc, boldFont_);
    SetTextColor(dc, row.boldHeader ? RGB(0, 0, 0) : RGB(0x60, 0x60, 0x60));
    DrawTextW(dc, WidePtr(text), static_cast<int>(text.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (row.boldHeader) {
      HBRUSH line = CreateSolidBrush(selected ? RGB(0xA0, 0xA0, 0xA0) : RGB(0xC0, 0xC0, 0xC0));
      RECT bottom{whole.left, whole.bottom - 2, whole.right, whole.bottom};
      FillRect(dc, &bottom, line);
      DeleteObject(line);
    }
    SelectObject(dc, oldFont);
    return;
  }
  const int columns = std::max<int>(1, static_cast<int>(contents_.columns.size()));
  std::size_t start = 0;
  int x = whole.left;
  for (int c = 0; c < columns; ++c) {
    const int width = ListView_GetColumnWidth(view_, c);
    RECT cell{x, whole.top, x + width, whole.bottom};
    COLORREF background = RGB(255, 255, 255);
    if (row.colour) {
      background = row.colour;
    } else if (columns > 1 && c % 4 == 0) {
      background = RGB(0xF0, 0xF8, 0xFF);
    } else if (columns > 1 && c % 4 == 2) {
      background = RGB(0xFF, 0xF4, 0xF4);
    }
    HBRUSH brush = CreateSolidBrush(darker(background));
    FillRect(dc, &cell, brush);
    DeleteObject(brush);
    const std::size_t end = row.text.find(u'\t', start);
    std::u16string text =
        start <= row.text.size()
            ? row.text.substr(start,
                              end == std::u16string::npos ? std::u16string::npos : end - start)
            : std::u16string();
    start = end == std::u16string::npos ? row.text.size() + 1 : end + 1;
    RECT inner{cell.left + 4, cell.top, cell.right - 4, cell.bottom};
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    const box::ListColumn* column =
        static_cast<std::size_t>(c) < contents_.columns.size() ? &contents_.columns[c] : nullptr;
    if (column && column->right) format |= DT_RIGHT;
    if (column && column->centred) format |= DT_CENTER;
    // A path keeps its start and its file name.
    const bool path = text.size() > 3 && text[1] == u':' && text[2] == u'\\';
    format |= path ? DT_PATH_ELLIPSIS : DT_END_ELLIPSIS;
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, WidePtr(text), static_cast<int>(text.size()), &inner, format);
    x += width;
  }
  if (selected) {
    HBRUSH frame = CreateSolidBrush(RGB(0xB0, 0xB0, 0xB0));
    FrameRect(dc, &whole, frame);
    DeleteObject(frame);
  } else {
    const bool nextBold =
        item.itemID + 1 < contents_.rows.size() && contents_.rows[item.itemID + 1].boldHeader;
    if (!nextBold) {
      HBRUSH line = CreateSolidBrush(RGB(0xE0, 0xE0, 0xE0));
      RECT bottom{whole.left, whole.bottom - 1, whole.right, whole.bottom};
      FillRect(dc, &bottom, line);
      DeleteObject(line);
    }
  }
  SelectObject(dc, oldFont);
}

void TExceptionBox::CopyToClipboardKey() {
  if (details_) {
    std::u16string text;
    report_.ReportText(false, text);
    CopyToClipboard(text);
  } else {
    CopyToClipboard(plainMessage_);
  }
}

void TExceptionBox::OnReportChanged(void* link, bool, const std::u16string&, IExceptionReport*) {
  // From whichever thread changed the report: the window's work stays on its own.
  if (HWND window = static_cast<BoxLink*>(link)->window.load())
    PostMessageW(window, kBoxReportChanged, 1357, 2468);
}

LRESULT CALLBACK TExceptionBox::Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  TExceptionBox* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<TExceptionBox*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  } else {
    self = reinterpret_cast<TExceptionBox*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(window, message, w, l);
  try {
    return self->Handle(message, w, l);
  } catch (...) {
    // A failure inside the box must not take the handling down with it.
    return 0;
  }
}

LRESULT TExceptionBox::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(w);
      if (l == 0 && id == IDOK) {
        // Enter acts on the focused button.
        const int focused = ButtonIndex(GetFocus());
        if (focused >= 0) Choose(focused);
        return 0;
      }
      if (l == 0 && id == IDCANCEL) {
        CloseByDefault();
        return 0;
      }
      if (id >= kButtonIdBase && id < kButtonIdBase + 7 && HIWORD(w) == BN_CLICKED) {
        Choose(id - kButtonIdBase);
        return 0;
      }
      if (id >= kButtonIdBase && id < kButtonIdBase + 7 &&
          (HIWORD(w) == BN_SETFOCUS || HIWORD(w) == BN_KILLFOCUS)) {
        // Any focus change between the buttons ends the count-down.
        if (HIWORD(w) == BN_SETFOCUS && countDown_ >= 0 && id - kButtonIdBase != countDown_)
          StopCountDown();
        InvalidateRect(reinterpret_cast<HWND>(l), nullptr, FALSE);
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (item->CtlType == ODT_BUTTON) {
        DrawButton(*item);
        return TRUE;
      }
      if (item->CtlType == ODT_LISTVIEW) {
        DrawListRow(*item);
        return TRUE;
      }
      break;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
      if (item->CtlType == ODT_LISTVIEW) item->itemHeight = 17;
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      if (header->idFrom == kTabsId && header->code == TCN_SELCHANGE) {
        currentTab_ = TabCtrl_GetCurSel(tabs_);
        ShowTab(true);
        return 0;
      }
      break;
    }
    case WM_TIMER:
      if (w == kBoxCountDownTimer && countDown_ >= 0) {
        HWND button = buttons_[static_cast<std::size_t>(countDown_)];
        RECT r;
        GetClientRect(button, &r);
        const int width = r.right - r.left;
        const int mark =
            box::CountDownMark(GetTickCount() - countDownStart_, width, report_.AutoDelay(), ugly_);
        if (mark != mark_) {
          mark_ = mark;
          InvalidateRect(button, nullptr, FALSE);
        }
        if (box::CountDownPastEdge(mark, width, ugly_)) {
          KillTimer(window_, kBoxCountDownTimer);
          PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kButtonIdBase + countDown_, BN_CLICKED),
                       reinterpret_cast<LPARAM>(button));
        }
        return 0;
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(l);
      if (layout_.width > 0) {
        RECT outer{0, 0, layout_.width, layout_.height};
        AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
        info->ptMinTrackSize = {outer.right - outer.left, outer.bottom - outer.top};
      }
      return 0;
    }
    case WM_SIZE:
      if (tabs_ && layout_.width > 0) {
        const int width = LOWORD(l), height = HIWORD(l);
        SetWindowPos(tabs_, nullptr, 0, 0, width - 9, height - layout_.tabs.y - 4,
                     SWP_NOMOVE | SWP_NOZORDER);
        if (view_) ShowTab(true);
      }
      break;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(w), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window_, &paint);
      if (layout_.strip) {
        // A line shading from the face colour into the dark shadow.
        RECT client;
        GetClientRect(window_, &client);
        const COLORREF face = GetSysColor(COLOR_BTNFACE), dark = GetSysColor(COLOR_3DDKSHADOW);
        const int end = std::max(1L, client.right - 6);
        const int y = layout_.stripTop + 5;
        for (int x = 0; x < end; ++x) {
          const int r = GetRValue(face) + (GetRValue(dark) - GetRValue(face)) * x / end;
          const int g = GetGValue(face) + (GetGValue(dark) - GetGValue(face)) * x / end;
          const int b = GetBValue(face) + (GetBValue(dark) - GetBValue(face)) * x / end;
          SetPixel(dc, x, y, RGB(r, g, b));
        }
      }
      EndPaint(window_, &paint);
      return 0;
    }
    case WM_CLOSE:
      CloseByDefault();
      return 0;
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_CLOSE) {
        CloseByDefault();
        return 0;
      }
      break;
    case kBoxReportChanged:
      RefreshTabs();
      return 0;
    case kBoxShowReport:
      Choose(box::kShow);
      return 0;
    case kBoxEnd:
      shuttingDown_ = true;
      ShowTab(false);
      DestroyWindow(window_);
      return 0;
    case WM_NULL:
      // The frozen main thread answers again: the box has done its work.
      if (w == 777 && l == 777) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      KillTimer(window_, kBoxCountDownTimer);
      report_.UnregisterReportMethodCallback(&TExceptionBox::OnReportChanged, link_);
      break;
    case WM_NCDESTROY:
      link_->window = nullptr;
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, w, l);
}

void TExceptionBox::Loop() {
  MSG msg;
  // Ctrl as this loop saw it go down and up, besides the key state (which
  // keys posted by another program, a screen reader say, do not set).
  bool controlHeld = false;
  while (window_ && IsWindow(window_)) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // A quit request belongs to the program's own loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    if ((msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_CONTROL)
      controlHeld = msg.message == WM_KEYDOWN;
    if (msg.message == WM_KEYDOWN) {
      if (msg.wParam == VK_ESCAPE) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        continue;
      }
      if (msg.wParam == VK_F1) {
        if (host_.fireAction) host_.fireAction(10, window_);
        continue;
      }
      if (msg.wParam == 'C' && (controlHeld || (GetKeyState(VK_CONTROL) & 0x8000))) {
        CopyToClipboardKey();
        continue;
      }
    }
    if (msg.hwnd != view_ && window_ && IsDialogMessageW(window_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

void RunExceptionBox(IExceptionReport& report, box::BoxMode mode, bool beep,
                     const ExceptionBoxHost& host) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  bool again = false;
  {
    auto box = std::make_unique<TExceptionBox>(report, mode, host);
    if (!box->Create(beep)) return;
    box->Loop();
    again = box->ShowAgainWithDetails();
  }
  if (!again) return;
  // The details, asked for: shown in the full box, nothing automatic left.
  report.SetAutoShowBugRep(true);
  report.SetAutoContinue(false);
  report.SetAutoRestart(0);
  report.SetAutoClose(0);
  RunExceptionBox(report, BoxMode::Full, false, host);
}

}  // namespace ostrel
