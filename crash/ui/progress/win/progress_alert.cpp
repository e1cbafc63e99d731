#include "crash/ui/progress/win/progress_alert.h"

#include <commctrl.h>

#include <vector>

#include "crash/ui/progress/progress_model.h"
#include "crash/base/win/wide_text.h"

namespace ostrel {
namespace {

constexpr wchar_t kClass[] = L"prgrAlertWndClass";
constexpr UINT kSetBar = WM_APP + 1;  // a position from another thread

class TIProgressAlert final : public IProgressAlert {
 public:
  TIProgressAlert(const std::u16string& title, HMODULE module, const std::u16string& bitmap)
      : title_(title), module_(module), bitmap_(bitmap) {}
  ~TIProgressAlert() override {
    Dismiss();
    if (font_) DeleteObject(font_);
    if (measure_) DeleteDC(measure_);
  }

  std::u16string Caption() override { return title_; }
  void SetCaption(const std::u16string& title) override {
    if (title == title_) return;
    title_ = title;
    if (window_) SetWindowTextW(window_, Wide(title_).c_str());
  }
  int Progress() override { return model_.Position(); }
  void SetProgress(int position) override {
    model_.SetPosition(position);
    UpdateBar();
  }
  void AppendArea(const std::u16string& text, std::uint64_t weight) override {
    const bool first = model_.Areas().empty();
    model_.AppendArea(text, weight);
    if (first && label_) SetWindowTextW(label_, Wide(model_.CurrentText()).c_str());
  }
  void ResetAreas() override { model_.ResetAreas(); }
  void NextArea() override { SetActiveArea(model_.ActiveArea() + 1); }
  int ActiveArea() override { return model_.ActiveArea(); }
  void SetActiveArea(int area) override {
    if (!model_.SetActiveArea(area)) return;
    if (label_) SetWindowTextW(label_, Wide(model_.CurrentText()).c_str());
    UpdateBar();
  }
  void PumpMessages() override {
    if (!window_ || GetWindowThreadProcessId(window_, nullptr) != GetCurrentThreadId()) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  bool Display(HWND owner, bool activate) override;
  void Dismiss() override;
  HWND Window() override { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l);
  void UpdateBar();
  bool LoadPicture();
  void DrawPicture(const DRAWITEMSTRUCT& item);

  std::u16string title_;
  HMODULE module_;
  std::u16string bitmap_;
  ProgressModel model_;
  HWND window_ = nullptr, label_ = nullptr, bar_ = nullptr, picture_ = nullptr, owner_ = nullptr;
  HFONT font_ = nullptr;
  HDC measure_ = nullptr;
  HANDLE positionEvent_ = nullptr;
  bool closing_ = false;
  std::vector<std::uint32_t> pixels_;  // the picture, 32 x 32, bottom-up
};

bool TIProgressAlert::LoadPicture() {
  if (bitmap_.empty()) return false;
  HRSRC found = FindResourceW(module_, Wide(bitmap_).c_str(), MAKEINTRESOURCEW(2));  // RT_BITMAP
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module_, found);
  const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  const DWORD size = SizeofResource(module_, found);
  if (!bytes || size != 40 + 32 * 32 * 4) return false;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
  if (header->biSize != 40 || header->biWidth != 32 || header->biHeight != 32 ||
      header->biBitCount != 32) {
    return false;
  }
  pixels_.assign(reinterpret_cast<const std::uint32_t*>(bytes + 40),
                 reinterpret_cast<const std::uint32_t*>(bytes + 40) + 32 * 32);
  return true;
}

// Alpha-blended onto the button face.
void TIProgressAlert::DrawPicture(const DRAWITEMSTRUCT& item) {
  if (pixels_.empty()) return;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  std::vector<std::uint32_t> out(pixels_.size());
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    const std::uint32_t p = pixels_[i];
    const std::uint32_t a = p >> 24;
    auto mix = [&](int shift, int faceValue) {
      const std::uint32_t c = (p >> shift) & 0xFF;
      return (c * a + static_cast<std::uint32_t>(faceValue) * (255 - a)) / 255;
    };
    out[i] =
        mix(16, GetRValue(face)) << 16 | mix(8, GetGValue(face)) << 8 | mix(0, GetBValue(face));
  }
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  SetDIBitsToDevice(item.hDC, 0, 0, 32, 32, 0, 0, 0, 32, out.data(), &info, DIB_RGB_COLORS);
}

bool TIProgressAlert::Display(HWND owner, bool activate) {
  if (window_) return false;
  owner_ = owner;
  if (owner_) EnableWindow(owner_, FALSE);
  model_.EnsureAnArea();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClass,
                            Wide(title_).c_str(), WS_CAPTION | WS_POPUP | WS_SYSMENU, 0, 0, 100,
                            100, owner_, nullptr, instance, nullptr);
  if (!window_) return true;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (HMENU menu = GetSystemMenu(window_, FALSE)) {
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}) {
      DeleteMenu(menu, command, MF_BYCOMMAND);
    }
  }
  if (!font_) {
    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    if (!font_) {
      font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                          L"MS Sans Serif");
    }
  }
  if (!measure_) measure_ = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(measure_, font_);
  std::vector<std::pair<int, int>> measured;
  for (const ProgressArea& area : model_.Areas()) {
    RECT r{0, 0, 420, 0};
    const std::wstring text = Wide(area.text);
    DrawTextW(measure_, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    measured.emplace_back(r.right - r.left, r.bottom - r.top);
  }
  SelectObject(measure_, old);
  ProgressMetrics metrics;
  LargestFromCurrent(measured, model_.ActiveArea(), metrics.labelWidth, metrics.labelHeight);
  metrics.picture = LoadPicture();
  metrics.scrollBarHeight = GetSystemMetrics(SM_CYHSCROLL);
  metrics.smallCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION);
  metrics.frameWidth = GetSystemMetrics(SM_CXDLGFRAME);
  metrics.frameHeight = GetSystemMetrics(SM_CYDLGFRAME);
  const ProgressLayout layout = LayoutProgressWindow(metrics);
  label_ =
      CreateWindowExW(0, L"STATIC", Wide(model_.CurrentText()).c_str(),
                      WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, layout.label.x, layout.label.y,
                      layout.label.width, layout.label.height, window_, nullptr, instance, nullptr);
  SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  if (metrics.picture) {
    picture_ = CreateWindowExW(0, L"BUTTON", L"",
                               WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_OWNERDRAW, layout.picture.x,
                               layout.picture.y, 32, 32, window_, nullptr, instance, nullptr);
  }
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, layout.bar.x, layout.bar.y,
                         layout.bar.width, layout.bar.height, window_, nullptr, instance, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, 1000);
  const int width = layout.window.width, height = layout.window.height;
  if (activate) {
    SetWindowPos(window_, HWND_TOPMOST, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_SHOWWINDOW);
    BringWindowToTop(window_);
    SetForegroundWindow(window_);
  } else {
    // Stacked in the corner: the first free slot of eight.
    int slot = 0;
    for (; slot < 8; ++slot) {
      const std::wstring name = L"OstrelProgressAlertPos" + std::to_wstring(slot);
      HANDLE e = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
      if (e && GetLastError() != ERROR_ALREADY_EXISTS) {
        positionEvent_ = e;
        break;
      }
      if (e) CloseHandle(e);
    }
    if (slot == 8) slot = 0;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window_, HWND_TOPMOST, work.right - width - 2,
                 work.bottom - height - 2 - slot * height, width, height,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
  }
  UpdateBar();
  return true;
}

void TIProgressAlert::UpdateBar() {
  if (!bar_) return;
  const int value = model_.BarValue();
  if (GetWindowThreadProcessId(bar_, nullptr) == GetCurrentThreadId()) {
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    PumpMessages();
  } else {
    PostMessageW(window_, kSetBar, static_cast<WPARAM>(value), 0);
  }
}

void TIProgressAlert::Dismiss() {
  if (!window_) return;
  HWND window = window_;
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  } else {
    closing_ = true;
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  window_ = label_ = bar_ = picture_ = nullptr;
  if (positionEvent_) CloseHandle(positionEvent_);
  positionEvent_ = nullptr;
  if (owner_) {
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
  owner_ = nullptr;
}

LRESULT CALLBACK TIProgressAlert::Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<TIProgressAlert*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self) {
    if (message == WM_DRAWITEM) {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (item && item->hwndItem == self->picture_) {
        self->DrawPicture(*item);
        return TRUE;
      }
    }
    if (message == kSetBar && self->bar_) {
      SendMessageW(self->bar_, PBM_SETPOS, w, 0);
      return 0;
    }
    // The user cannot close it; only its owner can.
    if (message == WM_CLOSE && !self->closing_) return 0;
    if (message == WM_SYSCOMMAND && (w & 0xFFF0) == SC_CLOSE) {
      if (!self->closing_) return 0;
      DestroyWindow(window);
      return 0;
    }
  }
  return IsWindowUnicode(window) ? DefWindowProcW(window, message, w, l)
                                 : DefWindowProcA(window, message, w, l);
}

}  // namespace

std::unique_ptr<IProgressAlert> CreateProgressAlert(const std::u16string& title,
                                                    HMODULE bitmapModule,
                                                    const std::u16string& bitmapName) {
  return std::make_unique<TIProgressAlert>(title, bitmapModule, bitmapName);
}

}  // namespace ostrel
