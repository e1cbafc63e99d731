#include "crash/ui/exception_box/box_layout.h"

#include <algorithm>

namespace ostrel::box {
namespace {

constexpr int kDetailsWidth = 664;
constexpr int kDetailsHeight = 491;

bool Plain(BoxMode mode) { return mode != BoxMode::Full; }

}  // namespace

BoxLayout LayoutBox(const BoxLayoutInput& in) {
  BoxLayout out;
  const bool plain = Plain(in.mode);
  out.buttonHeight = plain ? 23 : in.uglyButtons ? 26 : 22;
  const int bh = out.buttonHeight;
  const int rowStep = bh + 4;

  // The plain boxes show OK (and Details) whatever the full box's switches say.
  std::array<bool, 7> visible = in.visible;
  if (plain) {
    visible.fill(false);
    visible[kContinue] = true;
    visible[kShow] = in.mode == BoxMode::PlainWithDetails;
  }
  std::array<int, 7> w{};
  for (int i = 0; i < 7; ++i) {
    if (!visible[i]) continue;
    w[i] = std::max(0, in.captionWidths[i]) + 39;
    if (plain && w[i] < 75) w[i] = 79;
  }
  const int L = std::max({w[kContinue], w[kRestart], w[kClose]});
  const int R = int(visible[kContinue]) + int(visible[kRestart]) + int(visible[kClose]);
  const bool anyLeft = visible[kSend] || visible[kSave] || visible[kPrint] || visible[kShow];
  const bool column = !plain && R > 1 && anyLeft;
  // One row of buttons still leaves row 0 empty; more rows only for the column.
  const int rows = column ? std::max(R, 2) : 2;
  const int leftSum = w[kSend] + w[kSave] + w[kPrint] + w[kShow];

  int W = 0, M = 20;
  if (plain) {
    W = w[kContinue] + 26 + (in.mode == BoxMode::PlainWithDetails ? w[kShow] + 2 : 0);
  } else if (column) {
    W = leftSum + L + 8;
    M = L + 34;
  } else {
    W = leftSum + w[kContinue] + w[kRestart] + w[kClose] + 8;
  }
  if (in.bigIcon) {
    M += 40;
    out.icon = {10, 9, 32, 32};
  }

  BoxSize text{};
  if (in.measureMessage) text = in.measureMessage(std::max(std::max(W, kDetailsWidth) - M, 1));
  text.width = std::max(text.width, 0);
  text.height = std::max(text.height, 0);
  int width = std::max(W, text.width + M);
  if (in.details) {
    // Never narrower than the buttons need, even on a small screen.
    const int limit = in.screenWidth - 5 * in.captionHeight;
    width = std::max(width, std::min(kDetailsWidth, limit));
  }
  out.width = width;

  int T = in.bigIcon && text.height < 26 ? 31 : text.height + 5;
  if (column && R == 3) T = std::max(T - rowStep, 7);

  int content = 0;
  if (plain) {
    const int y = T + rowStep;
    const int group = w[kContinue] + (visible[kShow] ? 2 + w[kShow] : 0);
    const int x = (width - group) / 2;
    out.buttons[kContinue] = {x, y, w[kContinue], bh};
    if (visible[kShow]) out.buttons[kShow] = {x + w[kContinue] + 2, y, w[kShow], bh};
    content = T + 2 * bh + 15;
  } else {
    auto place = [&](int i, int x, int row) {
      out.buttons[i] = {x, T + row * rowStep, w[i] - 4, bh};
    };
    int x = 6;
    for (int i : {kSend, kSave, kPrint, kShow}) {
      if (!visible[i]) continue;
      place(i, x, rows - 1);
      x += w[i];
    }
    if (column) {
      const int cx = width - L - 2;
      auto stack = [&](int i, int row) {
        if (visible[i]) out.buttons[i] = {cx, T + row * rowStep, L - 4, bh};
      };
      stack(kContinue, 0);
      stack(kRestart, visible[kContinue] ? 1 : 0);
      stack(kClose, rows - 1);
    } else {
      x = width - (w[kContinue] + w[kRestart] + w[kClose]) - 2;
      for (int i : {kContinue, kRestart, kClose}) {
        if (!visible[i]) continue;
        place(i, x, 1);
        x += w[i];
      }
    }
    content = T + rows * rowStep + 2;
  }

  const int messageX = in.bigIcon ? 51 : 11;
  const int messageY = in.bigIcon && text.height < 26 ? 12 + (26 - text.height) / 2 : 12;
  out.message = {messageX, messageY, text.width, text.height};

  int height = content;
  if (in.mode != BoxMode::Plain) {
    out.strip = true;
    out.stripTop = content - 2;
    height += in.details ? 9 : 11;
  }
  if (in.details) {
    const int tabsTop = height + 2;
    height += kDetailsHeight;
    height = std::min(height, in.screenHeight - 5 * in.captionHeight);
    // A tiny screen must not turn the tab control inside out.
    height = std::max(height, tabsTop + 4);
    out.tabs = {5, tabsTop, width - 9, height - 4 - tabsTop};
  } else {
    height = std::min(height, in.screenHeight - 5 * in.captionHeight);
  }
  out.height = height;
  return out;
}

int CountDownMark(std::int64_t elapsedMs, int buttonWidth, int delaySeconds, bool uglyButtons) {
  if (delaySeconds <= 0) return -1;
  const std::int64_t elapsed = std::clamp<std::int64_t>(elapsedMs, 0, std::int64_t(1) << 40);
  const std::int64_t delay = delaySeconds;
  const std::int64_t span = uglyButtons ? buttonWidth - 11 : buttonWidth;
  std::int64_t mark = (elapsed * span + delay * 500) / (delay * 1000);
  if (uglyButtons) mark += 5;
  // Long past the edge the value only has to stay past it.
  return int(std::min<std::int64_t>(mark, std::int64_t(buttonWidth) + 1));
}

bool CountDownPastEdge(int mark, int buttonWidth, bool uglyButtons) {
  if (mark < 0) return false;
  return mark > (uglyButtons ? buttonWidth - 6 : buttonWidth);
}

}  // namespace ostrel::box
