#include "crash/report/file/print_layout.h"

#include <cmath>

namespace ostrel {
namespace {

int Millimetres(double mm, int pixelsPerInch) {
  return static_cast<int>(std::lround(mm * pixelsPerInch / 25.4));
}

}  // namespace

PageLayout LayoutPage(const PrintDevice& d) {
  PageLayout l;
  l.top = Millimetres(10, d.pixelsPerInchY) - d.offsetY;
  l.usableHeight = d.height - 2 * l.top;
  l.left = Millimetres(20, d.pixelsPerInchX) - d.offsetX;
  l.textWidth = d.width + d.offsetX - l.left - Millimetres(10, d.pixelsPerInchX);
  l.fontHeight = -8 * d.pixelsPerInchY / 72;
  return l;
}

std::vector<std::u16string> PrintLines(std::u16string_view report) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = report.find(u"\r\n", start);
    std::u16string line(report.substr(start, end == std::u16string_view::npos ? end : end - start));
    lines.push_back(line.empty() ? u" " : line);
    if (end == std::u16string_view::npos) break;
    start = end + 2;
  }
  return lines;
}

std::vector<PlacedLine> PlaceLines(const std::vector<int>& heights, const PageLayout& layout) {
  std::vector<PlacedLine> placed;
  int page = 0, y = layout.top;
  for (int h : heights) {
    // A line taller than a whole page still goes on a page of its own.
    if (y + h > layout.usableHeight && y > layout.top) {
      ++page;
      y = layout.top;
    }
    placed.push_back({page, y});
    y += h;
  }
  return placed;
}

}  // namespace ostrel
