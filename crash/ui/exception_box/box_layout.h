#pragma once
// Where the exception box puts its message, buttons, icon, bottom strip and
// details view, in client pixels; the window only measures texts.
#include <array>
#include <cstdint>
#include <functional>

namespace ostrel::box {

enum BoxButton : int {
  kSend = 0,
  kSave = 1,
  kPrint = 2,
  kShow = 3,      // Details in the plain box with details
  kContinue = 4,  // OK in the plain boxes
  kRestart = 5,
  kClose = 6,
};

enum class BoxMode : int { Full = 0, PlainWithDetails = 2, Plain = 3 };

struct BoxRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const BoxRect&) const = default;
};

struct BoxSize {
  int width = 0, height = 0;
};

struct BoxLayoutInput {
  BoxMode mode = BoxMode::Full;
  // Caption text widths in the dialog font; a hidden button's is ignored.
  std::array<int, 7> captionWidths{};
  std::array<bool, 7> visible{};
  bool uglyButtons = false;
  bool bigIcon = false;
  bool details = false;  // the details view is shown
  int screenWidth = 1024, screenHeight = 768, captionHeight = 18;
  // The message's size when word-wrapped in the given width.
  std::function<BoxSize(int width)> measureMessage;
};

struct BoxLayout {
  int width = 0, height = 0;  // client size, also the minimum size
  int buttonHeight = 22;
  std::array<BoxRect, 7> buttons{};  // hidden ones have width 0
  BoxRect message;
  BoxRect icon;  // width 0: none
  bool strip = false;
  int stripTop = 0;
  BoxRect tabs;  // width 0: no details view
};

BoxLayout LayoutBox(const BoxLayoutInput& in);

// The count-down mark's x position on a button of the given width after
// elapsed milliseconds; the button is pressed once it passes the right
// edge (PastEdge). delaySeconds 0: no count-down.
int CountDownMark(std::int64_t elapsedMs, int buttonWidth, int delaySeconds, bool uglyButtons);
bool CountDownPastEdge(int mark, int buttonWidth, bool uglyButtons);

}  // namespace ostrel::box
