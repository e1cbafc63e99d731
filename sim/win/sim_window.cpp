#include "sim/win/sim_window.h"

#include <commctrl.h>

#include "sim/win/ansi.h"
#include "sim/core/control_command.h"

namespace pelmora::sim {

namespace {

constexpr wchar_t kClassName[] = L"GoldMineSimMain";
constexpr int kStatusHeight = 22;

LPARAM ItemKey(size_t account, int additional) {
  return static_cast<LPARAM>((account << 12) | static_cast<size_t>(additional + 1));
}

}  // namespace

SimWindow::SimWindow(GmwOptions options, DdeState state, std::filesystem::path database)
    : options_(std::move(options)), state_(std::move(state)), database_(std::move(database)) {}

bool SimWindow::Create(HINSTANCE instance) {
  if (!dde_.Create(instance,
                   [this](const std::string& item) { return DdeReply(state_, options_, item); })) {
    return false;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);
  hwnd_ = CreateWindowExW(0, kClassName, L"GoldMine", WS_OVERLAPPEDWINDOW, 40, 40, 440, 480,
                          nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) return false;
  auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                              TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                          0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(1), instance, nullptr);
  status_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 0, 0, 0,
                            0, hwnd_, reinterpret_cast<HMENU>(2), instance, nullptr);
  SendMessageW(tree_, WM_SETFONT, font, FALSE);
  SendMessageW(status_, WM_SETFONT, font, FALSE);
  Layout();
  ReloadAccounts();
  FillTree();
  if (!accounts_.empty()) MakeCurrent(0, -1, true);
  ShowStatus();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetFocus(tree_);  // the current record shows highlighted, as in GoldMine
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK SimWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<SimWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr && self->hwnd_ == hwnd) return self->Handle(message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT SimWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->hwndFrom == tree_ && header->code == TVN_SELCHANGEDW && !filling_) {
        auto* change = reinterpret_cast<NMTREEVIEWW*>(lparam);
        size_t key = static_cast<size_t>(change->itemNew.lParam);
        MakeCurrent(key >> 12, static_cast<int>(key & 0xFFF) - 1, false);
      }
      return 0;
    }
    case WM_COPYDATA: {
      auto* data = reinterpret_cast<COPYDATASTRUCT*>(lparam);
      if (data == nullptr || data->dwData != kControlMarker) return FALSE;
      return Command(std::string(static_cast<const char*>(data->lpData), data->cbData));
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void SimWindow::Layout() {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  MoveWindow(tree_, 0, 0, rc.right, rc.bottom - kStatusHeight, TRUE);
  MoveWindow(status_, 6, rc.bottom - kStatusHeight + 4, rc.right - 12, kStatusHeight - 6, TRUE);
}

bool SimWindow::ReloadAccounts() {
  SimDatabase db;
  std::string error;
  if (!db.Open(database_, false, &error)) return false;
  auto accounts = LoadAccounts(db, &error);
  if (!accounts) return false;
  accounts_ = std::move(*accounts);
  return true;
}

void SimWindow::FillTree() {
  filling_ = true;
  TreeView_DeleteAllItems(tree_);
  items_.clear();
  for (size_t a = 0; a < accounts_.size(); ++a) {
    const Account& account = accounts_[a];
    std::wstring text = Utf8ToWide(
        account.company.empty() ? account.contact : account.company + " \u2013 " + account.contact);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.lParam = ItemKey(a, -1);
    std::vector<HTREEITEM> row{TreeView_InsertItem(tree_, &insert)};
    for (size_t c = 0; c < account.additional.size(); ++c) {
      const auto& extra = account.additional[c];
      std::wstring name = Utf8ToWide(
          extra.title.empty() ? extra.contact : extra.contact + " (" + extra.title + ")");
      insert.hParent = row.front();
      insert.item.pszText = name.data();
      insert.item.lParam = ItemKey(a, static_cast<int>(c));
      row.push_back(TreeView_InsertItem(tree_, &insert));
    }
    TreeView_Expand(tree_, row.front(), TVE_EXPAND);
    items_.push_back(std::move(row));
  }
  filling_ = false;
}

void SimWindow::MakeCurrent(size_t account, int additional, bool select_item) {
  if (account >= accounts_.size()) return;
  const Account& a = accounts_[account];
  if (additional >= static_cast<int>(a.additional.size())) return;
  state_.accountno = a.accountno;
  state_.browse_recno = additional < 0 ? a.recid : a.additional[additional].recid;
  if (select_item && account < items_.size()) {
    filling_ = true;
    TreeView_SelectItem(tree_, items_[account][static_cast<size_t>(additional + 1)]);
    filling_ = false;
  }
  ShowStatus();
}

bool SimWindow::SelectAccount(const std::string& accountno) {
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t a = 0; a < accounts_.size(); ++a) {
      if (accounts_[a].accountno == accountno) {
        MakeCurrent(a, -1, true);
        return true;
      }
    }
    // Tests may add accounts after start-up.
    if (pass == 0 && ReloadAccounts()) FillTree();
  }
  return false;
}

bool SimWindow::SelectAdditional(const std::string& recid) {
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t a = 0; a < accounts_.size(); ++a) {
      const auto& extra = accounts_[a].additional;
      for (size_t c = 0; c < extra.size(); ++c) {
        if (extra[c].recid == recid) {
          MakeCurrent(a, static_cast<int>(c), true);
          return true;
        }
      }
    }
    if (pass == 0 && ReloadAccounts()) FillTree();
  }
  return false;
}

LRESULT SimWindow::Command(const std::string& text) {
  auto command = ParseControlCommand(text);
  if (!command) return FALSE;
  using Kind = ControlCommand::Kind;
  switch (command->kind) {
    case Kind::kSelect:
      return SelectAccount(command->argument);
    case Kind::kSelectAdditional:
      return SelectAdditional(command->argument);
    case Kind::kStop:
      dde_.SetStopped(true);
      ShowStatus();
      return TRUE;
    case Kind::kResume:
      dde_.SetStopped(false);
      ShowStatus();
      return TRUE;
    case Kind::kQuit:
      PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      return TRUE;
  }
  return FALSE;
}

void SimWindow::ShowStatus() {
  std::string text = "Account: " + state_.accountno + "    Record: " + state_.browse_recno;
  if (dde_.Stopped()) text += "    (DDE stopped)";
  SetWindowTextW(status_, Utf8ToWide(text).c_str());
}

}  // namespace pelmora::sim
