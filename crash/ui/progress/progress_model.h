#pragma once
// What the progress window shows: weighted areas of work, the current one
// and the position in it, the bar's overall value, and the window's layout.
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

struct ProgressArea {
  std::uint64_t before = 0;  // sum of the weights of the earlier areas
  std::uint64_t weight = 0;
  std::u16string text;
};

class ProgressModel {
 public:
  // An empty text repeats the previous area's text.
  void AppendArea(std::u16string text, std::uint64_t weight);
  void ResetAreas();
  // Without any area: one "Please wait..." of weight 1000.
  void EnsureAnArea();
  // False when nothing changed: the same area, a negative one or one past
  // the end. The number of areas means all done: the last area at 1000.
  bool SetActiveArea(int area);
  int ActiveArea() const { return current_; }
  void SetPosition(int position) { position_ = position; }
  int Position() const { return position_; }
  // The bar, 0 .. 1000, over all areas by weight.
  int BarValue() const;
  std::u16string CurrentText() const;
  const std::vector<ProgressArea>& Areas() const { return areas_; }

 private:
  std::vector<ProgressArea> areas_;
  std::uint64_t total_ = 0;
  int current_ = 0;
  int position_ = 0;
};

struct ProgressMetrics {
  int labelWidth = 0, labelHeight = 0;  // the measured label (see Layout)
  bool picture = false;
  int scrollBarHeight = 0, smallCaptionHeight = 0, frameWidth = 0, frameHeight = 0;
};

struct ProgressRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct ProgressLayout {
  ProgressRect label, bar, picture, window;  // window: its size only
};
ProgressLayout LayoutProgressWindow(const ProgressMetrics& m);

// The label's measure: the current area's text, widened and heightened to
// the largest of the later ones, so that the window never has to grow.
void LargestFromCurrent(const std::vector<std::pair<int, int>>& measured, int current, int& width,
                        int& height);

}  // namespace ostrel
