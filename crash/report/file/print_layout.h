#pragma once
// The printed report's page: margins from the device's resolution and
// physical offsets, an 8-point font, and lines placed top to bottom.
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct PrintDevice {
  int width = 0, height = 0;     // printable area in pixels (HORZRES, VERTRES)
  int offsetX = 0, offsetY = 0;  // physical offsets in pixels
  int pixelsPerInchX = 0, pixelsPerInchY = 0;
};

struct PageLayout {
  int top = 0;           // 10 mm from the paper's edge
  int usableHeight = 0;  // what a page takes before a new one begins
  int left = 0;          // 20 mm from the paper's edge
  int textWidth = 0;     // up to 10 mm from the right edge
  int fontHeight = 0;    // 8 points, negative as for a character height
};
PageLayout LayoutPage(const PrintDevice& device);

// The report's lines, split at CR LF; an empty line is one blank, so that it
// keeps its height.
std::vector<std::u16string> PrintLines(std::u16string_view report);

struct PlacedLine {
  int page = 0;  // from 0
  int y = 0;
};
// Where each line of the given heights goes: a line that would reach past
// the usable height begins a new page at the top margin.
std::vector<PlacedLine> PlaceLines(const std::vector<int>& heights, const PageLayout& layout);

}  // namespace ostrel
