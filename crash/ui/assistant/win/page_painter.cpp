#include "crash/ui/assistant/win/page_painter.h"

#include <algorithm>

namespace ostrel::page_paint {

namespace {

int Clamp(int v) { return std::clamp(v, 0, 255); }

COLORREF Shift(COLORREF c, int by) {
  return RGB(Clamp(GetRValue(c) + by), Clamp(GetGValue(c) + by), Clamp(GetBValue(c) + by));
}

COLORREF Mix(COLORREF a, COLORREF b, int num, int den) {
  auto ch = [&](int x, int y) { return Clamp(x + (y - x) * num / std::max(den, 1)); };
  return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)),
             ch(GetBValue(a), GetBValue(b)));
}

void Fill(HDC dc, RECT r, COLORREF c) {
  SetBkColor(dc, c);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void Frame(HDC dc, RECT r, COLORREF c, int thickness = 1) {
  for (int i = 0; i < thickness; ++i) {
    Fill(dc, {r.left, r.top, r.right, r.top + 1}, c);
    Fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, c);
    Fill(dc, {r.left, r.top, r.left + 1, r.bottom}, c);
    Fill(dc, {r.right - 1, r.top, r.right, r.bottom}, c);
    InflateRect(&r, -1, -1);
  }
}

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// Text in `colour` with a white halo (drawn at the eight neighbouring
// offsets first), as the header and the normal buttons show it.
void HaloText(HDC dc, RECT r, const std::u16string& text, UINT format, COLORREF colour) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) {
      if (!dx && !dy) continue;
      RECT o = r;
      OffsetRect(&o, dx, dy);
      DrawTextW(dc, Wide(text), -1, &o, format | DT_NOPREFIX);
    }
  SetTextColor(dc, colour);
  DrawTextW(dc, Wide(text), -1, &r, format | DT_NOPREFIX);
}

}  // namespace

COLORREF LightFrame() {
  const COLORREF f = GetSysColor(COLOR_BTNFACE);
  return RGB(255 - (255 - GetRValue(f)) / 2, 255 - (255 - GetGValue(f)) / 2,
             255 - (255 - GetBValue(f)) / 2);
}

void Background(HDC dc, int width, int height, int panelBottom) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  Fill(dc, {0, 0, width, height}, Shift(face, 8));
  const RECT panel{8, 25, width - 9, panelBottom};
  Fill(dc, panel, face);
  // A dotted frame, two pixels wide.
  const COLORREF dot = Shift(face, -16);
  for (int x = panel.left; x < panel.right; ++x)
    for (int k = 0; k < 2; ++k)
      if ((x + k) % 2 == 0) {
        SetPixelV(dc, x, panel.top + k, dot);
        SetPixelV(dc, x, panel.bottom - 1 - k, dot);
      }
  for (int y = panel.top; y < panel.bottom; ++y)
    for (int k = 0; k < 2; ++k)
      if ((y + k) % 2 == 0) {
        SetPixelV(dc, panel.left + k, y, dot);
        SetPixelV(dc, panel.right - 1 - k, y, dot);
      }
}

void Header(HDC dc, const Fonts& fonts, const std::u16string& message, int width, int step,
            int stepCount) {
  HGDIOBJ old = SelectObject(dc, fonts.message);
  RECT r{11, 6, width - stepCount * 19 - 6, 25};
  HaloText(dc, r, message, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS,
           GetSysColor(COLOR_3DDKSHADOW));
  for (int i = 1; i <= stepCount; ++i) {
    const int x = width - stepCount * 19 - 3 + (i - 1) * 19;
    RECT cell{x, 4, x + 19, 24};
    const std::u16string number = std::u16string(1, static_cast<char16_t>(u'0' + (i % 10)));
    if (i == step) {
      // A small tab behind the current step: framed, window-coloured on
      // top, shading darker towards its bottom.
      const RECT tab{x - 1, 3, x + 19, 23};
      const COLORREF window = GetSysColor(COLOR_WINDOW);
      for (int y = tab.top; y < tab.bottom; ++y) {
        const int row = y - tab.top;
        const COLORREF c = row < 6 ? window : Mix(window, GetSysColor(COLOR_BTNFACE), row - 6, 14);
        Fill(dc, {tab.left, y, tab.right, y + 1}, c);
      }
      Frame(dc, tab, GetSysColor(COLOR_BTNSHADOW));
      SelectObject(dc, fonts.message);
      HaloText(dc, cell, number, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
               GetSysColor(COLOR_WINDOWTEXT));
    } else {
      SelectObject(dc, fonts.step);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
      DrawTextW(dc, Wide(number), -1, &cell, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  SelectObject(dc, old);
}

void EditFrame(HDC dc, RECT frame, bool focused) {
  // The edit sits 2 pixels inside `frame`; its own frame is the ring
  // directly round it, the focus frame the ring outside that.
  RECT inner = frame;
  InflateRect(&inner, -1, -1);
  if (focused) {
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), window = GetSysColor(COLOR_WINDOW);
    Fill(dc, {frame.left, frame.top, frame.right, frame.top + 1}, shadow);
    Fill(dc, {frame.left, frame.top, frame.left + 1, frame.bottom}, shadow);
    Fill(dc, {frame.left, frame.bottom - 1, frame.right, frame.bottom}, window);
    Fill(dc, {frame.right - 1, frame.top, frame.right, frame.bottom}, window);
    Frame(dc, inner, GetSysColor(COLOR_3DDKSHADOW));
  } else {
    Frame(dc, frame, GetSysColor(COLOR_BTNFACE));
    Frame(dc, inner, LightFrame());
  }
}

void OwnerButton(HDC dc, RECT r, const std::u16string& caption, COLORREF tint, ButtonState state,
                 bool pressed, HFONT font) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  HGDIOBJ old = SelectObject(dc, font);
  RECT text = r;
  if (pressed) OffsetRect(&text, 1, 1);
  const int h = std::max(1L, r.bottom - r.top);
  switch (state) {
    case ButtonState::Disabled: {
      Fill(dc, r, face);
      RECT inner = r;
      InflateRect(&inner, -2, -2);
      Fill(dc, inner, Shift(face, 16));
      // White alone vanishes on a light face: engraved, as disabled text is.
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(255, 255, 255));
      RECT shadow = text;
      OffsetRect(&shadow, 1, 1);
      DrawTextW(dc, Wide(caption), -1, &shadow,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      DrawTextW(dc, Wide(caption), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      break;
    }
    case ButtonState::Focused: {
      // Rising from black at the bottom to the tint at the top.
      for (int y = r.top; y < r.bottom; ++y)
        Fill(dc, {r.left, y, r.right, y + 1}, Mix(tint, RGB(0, 0, 0), y - r.top, h));
      RECT dots = r;
      InflateRect(&dots, -3, -3);
      for (int x = dots.left; x < dots.right; x += 2) {
        SetPixelV(dc, x, dots.top, Shift(tint, 60));
        SetPixelV(dc, x, dots.bottom - 1, Shift(tint, 60));
      }
      for (int y = dots.top; y < dots.bottom; y += 2) {
        SetPixelV(dc, dots.left, y, Shift(tint, 60));
        SetPixelV(dc, dots.right - 1, y, Shift(tint, 60));
      }
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_WINDOW));
      DrawTextW(dc, Wide(caption), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      break;
    }
    case ButtonState::Normal: {
      Frame(dc, r, GetSysColor(COLOR_BTNSHADOW), 2);
      RECT inner = r;
      InflateRect(&inner, -2, -2);
      Fill(dc, inner, face);
      // Rows fading from white at the top towards a pale tint.
      const COLORREF pale = Mix(RGB(255, 255, 255), tint, 1, 3);
      const int rows = std::max(1L, inner.bottom - inner.top);
      for (int y = inner.top; y < inner.bottom; ++y)
        Fill(dc, {inner.left, y, inner.right, y + 1},
             Mix(RGB(255, 255, 255), pale, y - inner.top, rows));
      HaloText(dc, text, caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
               GetSysColor(COLOR_WINDOWTEXT));
      break;
    }
  }
  SelectObject(dc, old);
}

void CheckBox(HDC dc, RECT r, const std::u16string& caption, bool checked, bool pressed,
              bool enabled, bool focused, const Fonts& fonts) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  Fill(dc, r, face);
  const int side = r.bottom - r.top;
  RECT box{r.left, r.top, r.left + side, r.bottom};
  Frame(dc, box, LightFrame());
  RECT inside = box;
  InflateRect(&inside, -1, -1);
  Fill(dc, inside, pressed || !enabled ? face : GetSysColor(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  if (checked) {
    HGDIOBJ old = SelectObject(dc, fonts.mark);
    SetTextColor(dc, enabled ? GetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_BTNSHADOW));
    // Marlett's "a" is the check mark; newer systems draw it a pixel lower.
    RECT mark = inside;
    OSVERSIONINFOW v{sizeof v};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&v) && v.dwMajorVersion >= 6) OffsetRect(&mark, 0, -1);
#pragma GCC diagnostic pop
    DrawTextW(dc, L"a", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  HGDIOBJ old = SelectObject(dc, fonts.item);
  RECT text{box.right + 4, r.top, r.right, r.bottom};
  SIZE extent{};
  GetTextExtentPoint32W(dc, Wide(caption), static_cast<int>(caption.size()), &extent);
  if (!enabled) {
    RECT shadow = text;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, Wide(caption), -1, &shadow, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  } else {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  }
  DrawTextW(dc, Wide(caption), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (focused) {
    const int top = r.top + (side - extent.cy) / 2;
    RECT focus{text.left - 2, top - 1, std::min<LONG>(r.right, text.left + extent.cx + 2),
               top + extent.cy + 1};
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, face);
    DrawFocusRect(dc, &focus);
  }
  SelectObject(dc, old);
}

void Image(HDC dc, RECT r, bool clickable, bool border, INVBitmap* shown) {
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  RECT area = r;
  if (clickable) {
    Frame(dc, area, LightFrame(), 2);
    InflateRect(&area, -2, -2);
    Frame(dc, area, face);
    InflateRect(&area, -1, -1);
  }
  if (border) {
    Frame(dc, area, GetSysColor(COLOR_WINDOWTEXT));
    InflateRect(&area, -1, -1);
  }
  int w = 0, h = 0;
  if (shown) {
    w = std::min<int>(shown->Width(), area.right - area.left);
    h = std::min<int>(shown->Height(), area.bottom - area.top);
    shown->DrawTo(dc, area.left, area.top);
  }
  // The rest of the area in the face colour.
  Fill(dc, {area.left + w, area.top, area.right, area.bottom}, face);
  Fill(dc, {area.left, area.top + h, area.left + w, area.bottom}, face);
}

}  // namespace ostrel::page_paint
