// Small Win32 helpers shared by Pelmora's windows: fonts, child controls,
// the modal loop.
#pragma once

#include <windows.h>

#include <string>

namespace pelmora {

// "MS Sans Serif" at the given character height in pixels.
HFONT CreateUiFont(int height, bool bold = false);

HWND CreateChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y,
                 int w, int h, int id, HFONT font, DWORD exStyle = 0);

std::wstring WindowText(HWND hwnd);

// Places a fixed-border window so that its client area has the given screen
// position of its frame and client size.
void PlaceWindow(HWND hwnd, int left, int top, int clientWidth, int clientHeight);

// Shows a window modally over the others of this thread; runs until *result
// becomes non-zero and returns it. Timer messages keep flowing.
int RunModal(HWND dialog, int* result);

}  // namespace pelmora
