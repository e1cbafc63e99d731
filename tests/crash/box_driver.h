#pragma once
// Drives the exception box from a thread of the crashing program, as a user
// would: waits for it, reads its buttons and tabs, saves a picture of it,
// and presses a button.
#include <windows.h>

#include <string>
#include <vector>

namespace zoo {

struct BoxSeen {
  HWND window = nullptr;
  std::string title;
  std::vector<std::string> buttons;  // captions, in creation order
  std::vector<bool> enabled;
  std::string focused;            // caption of the button with the focus, if any
  std::vector<std::string> tabs;  // empty without the details view
  int listRows = -1;              // rows of the current tab's list; -1: none
};

// The next box that appears (waiting at most the given time); window null
// when none came. picture: saved as a BMP beside the program.
BoxSeen WaitForBox(int milliseconds, const char* picture);

// Presses the button with that caption (posted, as a click would be);
// false when the box has none.
bool PressBoxButton(const BoxSeen& box, const std::string& caption);

// A key pressed while the box has the keyboard (posted to its focus), or
// only held down or let go (a modifier around another key).
void PressBoxKey(const BoxSeen& box, WPARAM key);
void HoldBoxKey(const BoxSeen& box, WPARAM key, bool down);

// Clicks the tab with that title in the details view; false without one.
bool SelectBoxTab(const BoxSeen& box, const std::string& title);

// Waits until the box window is gone.
bool WaitForBoxGone(HWND window, int milliseconds);

// The window as it is on the screen, saved as a BMP.
void SaveWindowPicture(HWND window, const char* name);

// Starts a thread that runs the work (a driver) and returns at once;
// Finished waits (a while) until it has done so.
void Detached(void (*work)());
void Finished();

}  // namespace zoo
