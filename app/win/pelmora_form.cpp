#include "app/win/pelmora_form.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/website_sql.h"
#include "app/win/control_ids.h"
#include "app/win/ui_support.h"
#include "ostrel/ostrel.h"
#include "goldmine/win/text_encoding.h"

namespace pelmora {

namespace {
const std::vector<std::string> kWebsiteColumns = {"Accountno",   "Recid",   "Contact", "Type",
                                                  "Description", "Website", "Drecid"};
constexpr UINT_PTR kTimerId = 1;
constexpr int kIndicatorWidth = 12;
constexpr int kTypeWidth = 60;
}  // namespace

bool TPelmoraForm::Create() {
  if (!CreateTopLevel(kMainWindowClass, L"Pelmora",
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_TOPMOST,
                      nullptr))
    return false;
  PlaceWindow(hwnd_, 1294, 699, 287, 195);
  CreateControls();
  goldMine_.OpenConversation();
  return FormCreate();
}

void TPelmoraForm::CreateControls() {
  font_ = CreateUiFont(11);
  boldFont_ = CreateUiFont(13, true);
  contactName_ = CreateChild(hwnd_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 8, 0, 16,
                             kIdContactName, boldFont_);
  grid_ = CreateChild(
      hwnd_, WC_LISTVIEWW, L"",
      WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
      8, 32, 217, 153, kIdGrid, font_, WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(grid_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  SetWindowLongPtrW(grid_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  gridDefault_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(grid_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GridProc)));
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  const wchar_t* titles[] = {L"", L"Type", L"Description"};
  const int widths[] = {kIndicatorWidth, kTypeWidth, 217 - 4 - kIndicatorWidth - kTypeWidth};
  for (int i = 0; i < 3; ++i) {
    column.pszText = const_cast<wchar_t*>(titles[i]);
    column.cx = widths[i];
    ListView_InsertColumn(grid_, i, &column);
  }
  // Hidden and disabled until the first tick.
  struct ButtonLayout {
    HWND* hwnd;
    const wchar_t* caption;
    int top;
    int id;
  };
  const ButtonLayout buttons[] = {{&goTo_, L"Go To ", 32, kIdGoToButton},
                                  {&add_, L"Add", 64, kIdAddButton},
                                  {&edit_, L"Edit", 96, kIdEditButton},
                                  {&delete_, L"Delete ", 128, kIdDeleteButton},
                                  {&info_, L"Info", 160, kIdInfoButton}};
  for (const ButtonLayout& b : buttons)
    *b.hwnd = CreateChild(hwnd_, L"BUTTON", b.caption, WS_TABSTOP | BS_PUSHBUTTON, 240, b.top, 41,
                          25, b.id, font_);
  for (HWND b : {goTo_, add_, edit_, delete_}) EnableWindow(b, FALSE);
}

bool TPelmoraForm::FormCreate() {
  // Log-in code 0 ends the start-up too: nothing is bound then.
  if (goldMine_.LoadGoldMineApi() <= 0) return false;
  tray_.Add(hwnd_, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)));
  SetTimer(hwnd_, kTimerId, 500, nullptr);
  return true;
}

void TPelmoraForm::FormClose() {
  KillTimer(hwnd_, kTimerId);
  goldMine_.UnloadGoldMineApi();
  tray_.Remove();
}

void TPelmoraForm::ShowWebsites() {
  // A DDE request can dispatch messages; a tick nested in it (deeper on the
  // stack) would reload twice. The running tick is known by its frame: when
  // a fault abandoned a tick's frames, a later tick from the same or a
  // shallower message loop is not nested in it and goes on.
  const auto frame = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  if (runningTick_ != 0 && frame < runningTick_) return;
  runningTick_ = frame;
  struct Done {
    std::uintptr_t& tick;
    ~Done() { tick = 0; }
  } done{runningTick_};
  const std::string acc = goldMine_.DdeRequest("contact1->accountno");
  const std::string rec = goldMine_.DdeRequest("&BrowseRecNo");
  if (rec != lastBrowseRecNo_ || acc != lastAccountNo_) {
    lastAccountNo_ = acc;
    lastBrowseRecNo_ = rec;
    std::string recType;
    goldMine_.QueryValue(RecTypeProbeSql(rec), recType);
    doSearch(recType == "C" ? AdditionalContactSql(rec) : PrimaryContactSql(acc));
    const std::string contact = CurrentField("contact");
    const std::wstring name = AnsiToWide(contact);
    SetWindowTextW(contactName_, name.c_str());
    HDC dc = GetDC(contactName_);
    HGDIOBJ old = SelectObject(dc, boldFont_);
    SIZE extent{};
    GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(contactName_, dc);
    SetWindowPos(contactName_, nullptr, 8, 8, extent.cx, extent.cy > 0 ? extent.cy : 16,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (HWND b : {goTo_, add_, edit_, delete_, info_}) ShowWindow(b, SW_SHOW);
}

void TPelmoraForm::RefreshWebsites() {
  lastAccountNo_.clear();
  ShowWebsites();
}

void TPelmoraForm::doSearch(const std::string& sql) {
  table_ = goldMine_.QueryTable(sql, kWebsiteColumns);
  FillGrid();
}

void TPelmoraForm::FillGrid() {
  fillingGrid_ = true;
  SendMessageW(grid_, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(grid_);
  const auto type = table_->ColumnIndex("Type");
  const auto description = table_->ColumnIndex("Description");
  for (std::size_t row = 0; row < table_->RowCount(); ++row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(row);
    item.pszText = const_cast<wchar_t*>(L"");
    ListView_InsertItem(grid_, &item);
    const std::wstring t = AnsiToWide(table_->Field(row, *type));
    const std::wstring d = AnsiToWide(table_->Field(row, *description));
    ListView_SetItemText(grid_, static_cast<int>(row), 1, const_cast<wchar_t*>(t.c_str()));
    ListView_SetItemText(grid_, static_cast<int>(row), 2, const_cast<wchar_t*>(d.c_str()));
  }
  // Description takes what is left, so no horizontal scroll bar appears.
  ListView_SetColumnWidth(grid_, 2, LVSCW_AUTOSIZE_USEHEADER);
  if (const auto current = table_->CurrentRow()) SelectRow(*current);
  SendMessageW(grid_, WM_SETREDRAW, TRUE, 0);
  ShowScrollBar(grid_, SB_HORZ, FALSE);
  InvalidateRect(grid_, nullptr, TRUE);
  fillingGrid_ = false;
}

void TPelmoraForm::SelectRow(std::size_t row) {
  if (!table_ || row >= table_->RowCount()) return;
  if (const auto old = table_->CurrentRow())
    ListView_RedrawItems(grid_, static_cast<int>(*old), static_cast<int>(*old));
  table_->SetCurrentRow(row);
  const int i = static_cast<int>(row);
  ListView_SetItemState(grid_, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(grid_, i, FALSE);
}

std::wstring TPelmoraForm::GridText() const {
  std::wstring text;
  if (!table_) return text;
  const auto type = table_->ColumnIndex("Type");
  const auto description = table_->ColumnIndex("Description");
  for (std::size_t row = 0; row < table_->RowCount(); ++row) {
    if (row) text += L"\r\n";
    text += AnsiToWide(table_->Field(row, *type)) + L"\t" +
            AnsiToWide(table_->Field(row, *description));
  }
  return text;
}

std::string TPelmoraForm::CurrentField(const char* name) const {
  if (!table_) return {};
  return table_->CurrentField(name).value_or(std::string());
}

ContactRef TPelmoraForm::CurrentContact() const {
  return ContactRef{CurrentField("accountno"), CurrentField("contact"), CurrentField("recid")};
}

void TPelmoraForm::OnIdle() {
  if (!IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_) || !IsWindowVisible(info_)) return;
  // The grid always keeps a current row, as a click on empty space clears it.
  if (table_ && table_->CurrentRow() && ListView_GetSelectedCount(grid_) == 0)
    SelectRow(*table_->CurrentRow());
  aStatusActionUpdate();
}

void TPelmoraForm::ShowStatus() {
  const auto website = table_ ? table_->CurrentField("website") : std::nullopt;
  if (!website) {
    for (HWND b : {goTo_, edit_, delete_, add_}) EnableWindow(b, FALSE);
    return;
  }
  const BOOL hasLink = website->empty() ? FALSE : TRUE;
  EnableWindow(goTo_, hasLink);
  EnableWindow(edit_, hasLink);
  EnableWindow(delete_, hasLink);
  EnableWindow(add_, GetWindowTextLengthW(contactName_) > 0 ? TRUE : FALSE);
}

void TPelmoraForm::GoToButtonClick() {
  const std::wstring address = AnsiToWide(CurrentField("website"));
  if (address.empty()) return;  // nothing for the shell to open
  ShellExecuteW(hwnd_, L"open", address.c_str(), L"", L"", SW_SHOWNORMAL);
}

void TPelmoraForm::DBGrid1DblClick() {
  if (!CurrentField("recid").empty()) GoToButtonClick();
}

void TPelmoraForm::DBGrid1KeyPress(wchar_t) {
  if (!CurrentField("recid").empty()) GoToButtonClick();
}

void TPelmoraForm::AddButtonClick() {
  if (!table_ || !table_->CurrentRow()) return;
  const ContactRef contact = CurrentContact();
  form2_.SetDescription(L"");
  form2_.SetWebsite(L"");
  form2_.SetTexts(L"Add New Website", L"Add");
  if (form2_.ShowModal() == 1) WriteDetail("", contact);
}

void TPelmoraForm::EditButtonClick() {
  if (!table_ || !table_->CurrentRow()) return;
  // The record shown is the one written, whatever the list shows by then.
  const ContactRef contact = CurrentContact();
  const std::string drecid = CurrentField("drecid");
  form2_.SetDescription(AnsiToWide(CurrentField("description")));
  form2_.SetWebsite(AnsiToWide(CurrentField("website")));
  form2_.SetSiteType(AnsiToWide(CurrentField("type")));
  form2_.SetTexts(L"Edit Website", L"OK");
  if (form2_.ShowModal() == 1 && !drecid.empty()) WriteDetail(drecid, contact);
}

void TPelmoraForm::DeleteButtonClick() {
  if (!table_ || !table_->CurrentRow()) return;
  const std::string drecid = CurrentField("drecid");
  form2_.SetDescription(AnsiToWide(CurrentField("description")));
  form2_.SetWebsite(AnsiToWide(CurrentField("website")));
  form2_.SetTexts(L"Delete Website", L"Delete");
  if (form2_.ShowModal() != 1 || drecid.empty()) return;
  if (goldMine_.DeleteDetail(drecid)) RefreshWebsites();
}

void TPelmoraForm::WriteDetail(const std::string& recordId, const ContactRef& contact) {
  const WebsiteInput input{WideToAnsi(form2_.Description()), WideToAnsi(form2_.SiteType()),
                           WideToAnsi(form2_.Website())};
  const auto pairs = WriteDetailPairs(recordId, input, contact);
  if (!pairs) return;
  goldMine_.RunWithPairs("WriteDetail", *pairs);
  RefreshWebsites();
}

void TPelmoraForm::TrayMessage(LPARAM lParam) {
  if (lParam == WM_LBUTTONDOWN) {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  } else if (lParam == WM_RBUTTONDOWN) {
    ShowWindow(hwnd_, SW_HIDE);
  }
}

bool TPelmoraForm::WMSysCommand(WPARAM wParam) {
  if (wParam != 0xF020) return false;  // compared whole, not masked
  ShowWindow(hwnd_, SW_HIDE);
  return true;
}

LRESULT TPelmoraForm::DBGrid1DrawDataCell(LPARAM lParam) {
  auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
  switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const int item = static_cast<int>(cd->nmcd.dwItemSpec);
      if (!(ListView_GetItemState(grid_, item, LVIS_SELECTED) & LVIS_SELECTED))
        return CDRF_DODEFAULT;
      // The selected row is drawn black on white like the others; the
      // indicator marks it.
      HDC dc = cd->nmcd.hdc;
      RECT row{};
      ListView_GetItemRect(grid_, item, &row, LVIR_BOUNDS);
      FillRect(dc, &row, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      HGDIOBJ old = SelectObject(dc, font_);
      // The row indicator: a small black triangle pointing at the row.
      const int mid = (row.top + row.bottom) / 2;
      const POINT triangle[3] = {
          {row.left + 3, mid - 4}, {row.left + 7, mid}, {row.left + 3, mid + 4}};
      HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
      Polygon(dc, triangle, 3);
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      for (int sub = 1; sub < 3; ++sub) {
        RECT cell{};
        ListView_GetSubItemRect(grid_, item, sub, LVIR_BOUNDS, &cell);
        wchar_t text[128] = {};
        ListView_GetItemText(grid_, item, sub, text, 128);
        cell.left += 6;
        DrawTextW(dc, text, -1, &cell, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
      SelectObject(dc, old);
      return CDRF_SKIPDEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT CALLBACK TPelmoraForm::GridProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TPelmoraForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return ostrel::GuardWindowProc(
      hwnd, [&]() -> LRESULT { return self->GridMessage(hwnd, msg, wParam, lParam); }, LRESULT(0));
}

LRESULT TPelmoraForm::GridMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CHAR) {
    DBGrid1KeyPress(static_cast<wchar_t>(wParam));
    return 0;
  }
  // The grid's text is its rows as shown, one "Type<TAB>Description" line
  // each, so that screen readers and test drivers can read the list.
  if (msg == WM_GETTEXT || msg == WM_GETTEXTLENGTH) {
    const std::wstring text = GridText();
    if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
    if (wParam == 0) return 0;
    const std::size_t n = std::min<std::size_t>(text.size(), wParam - 1);
    std::copy_n(text.c_str(), n, reinterpret_cast<wchar_t*>(lParam));
    reinterpret_cast<wchar_t*>(lParam)[n] = L'\0';
    return static_cast<LRESULT>(n);
  }
  if (msg == WM_GETDLGCODE) {
    const LRESULT code = CallWindowProcW(gridDefault_, hwnd, msg, wParam, lParam);
    const auto* m = reinterpret_cast<const MSG*>(lParam);
    if (m && m->message == WM_KEYDOWN && m->wParam == VK_TAB) return code;
    return code | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
  }
  return CallWindowProcW(gridDefault_, hwnd, msg, wParam, lParam);
}

LRESULT TPelmoraForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      if (wParam == kTimerId) Timer1Timer();
      return 0;
    case kTrayMessage:
      TrayMessage(lParam);
      return 0;
    case WM_SYSCOMMAND:
      if (WMSysCommand(wParam)) return 0;
      return Default(msg, wParam, lParam);
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case kIdGoToButton:
            GoToButtonClick();
            break;
          case kIdAddButton:
            AddButtonClick();
            break;
          case kIdEditButton:
            EditButtonClick();
            break;
          case kIdDeleteButton:
            DeleteButtonClick();
            break;
          case kIdInfoButton:
            InfoButtonClick();
            break;
          default:
            break;
        }
      }
      return 0;
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
      if (hdr->hwndFrom != grid_) break;
      if (hdr->code == NM_CUSTOMDRAW) return DBGrid1DrawDataCell(lParam);
      if (hdr->code == NM_DBLCLK) DBGrid1DblClick();
      if (hdr->code == LVN_ITEMCHANGED && !fillingGrid_) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED) &&
            change->iItem >= 0 &&
            (!table_->CurrentRow() ||
             *table_->CurrentRow() != static_cast<std::size_t>(change->iItem)))
          SelectRow(static_cast<std::size_t>(change->iItem));
      }
      return 0;
    }
    case WM_CLOSE:
      FormClose();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return Default(msg, wParam, lParam);
}

}  // namespace pelmora
