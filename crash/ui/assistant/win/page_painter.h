#pragma once
// How an assistant page looks: its background and header, the frames
// round its edits, its owner-drawn buttons and check boxes, its images.

#include <windows.h>

#include <string>

#include "crash/imaging/win/nv_bitmap.h"

namespace ostrel::page_paint {

struct Fonts {
  HFONT message = nullptr;  // bold Arial 15
  HFONT step = nullptr;     // Arial 15
  HFONT button = nullptr;   // Arial 15
  HFONT item = nullptr;     // Tahoma 11
  HFONT mark = nullptr;     // Marlett 13
};

// White minus the face colour's halved complement: the light frame colour.
COLORREF LightFrame();

void Background(HDC dc, int width, int height, int panelBottom);
void Header(HDC dc, const Fonts& fonts, const std::u16string& message, int width, int step,
            int stepCount);
void EditFrame(HDC dc, RECT frame, bool focused);

enum class ButtonState { Normal, Focused, Disabled };
// tint: Continue green, Skip blue, Cancel red; extra buttons grey.
void OwnerButton(HDC dc, RECT r, const std::u16string& caption, COLORREF tint, ButtonState state,
                 bool pressed, HFONT font);
void CheckBox(HDC dc, RECT r, const std::u16string& caption, bool checked, bool pressed,
              bool enabled, bool focused, const Fonts& fonts);
// The image area inside its frame; `shown` is drawn at its top left.
void Image(HDC dc, RECT r, bool clickable, bool border, INVBitmap* shown);

}  // namespace ostrel::page_paint
