#pragma once
// Drives the reporter's assistant pages from a thread of the crashing
// program, as a user would: waits for a page, reads its items, types into
// its edits, clicks its buttons, check boxes and images, presses keys.
// Items are addressed by their index in the page (the fixed buttons are 0,
// 1 and 2; the description's items follow).
#include <windows.h>

#include <string>
#include <vector>

namespace zoo {

struct PageSeen {
  HWND window = nullptr;
  std::string title;
  std::vector<std::string> texts;  // per item; empty for an image
  std::vector<bool> enabled;
  int focused = -1;  // the item with the keyboard focus
};

// The next page that appears (waiting at most the given time); window null
// when none came. picture: saved as a BMP beside the program.
PageSeen WaitForPage(int milliseconds, const char* picture);
// The page read again.
PageSeen ReadPage(HWND window);

// Replaces an edit's text, its last character typed (the page sees the
// change as it would see typing).
void TypeInto(const PageSeen& page, int item, const std::string& text);
// Clicks a button or check box (posted).
void ClickItem(const PageSeen& page, int item);
// A click at a point of the page's client area (an image).
void ClickPageAt(const PageSeen& page, int x, int y);
// A key pressed while the page has the keyboard (posted to its focus).
void PressPageKey(const PageSeen& page, WPARAM key);

// The colour the screen shows at a point of the page's client area.
COLORREF PagePixel(const PageSeen& page, int x, int y);

bool WaitForPageGone(HWND window, int milliseconds);

}  // namespace zoo
