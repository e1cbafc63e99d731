#include "crash/ui/progress/progress_model.h"

#include <algorithm>

namespace ostrel {

void ProgressModel::AppendArea(std::u16string text, std::uint64_t weight) {
  if (text.empty() && !areas_.empty()) text = areas_.back().text;
  areas_.push_back({total_, weight, std::move(text)});
  total_ += weight;
}

void ProgressModel::ResetAreas() {
  areas_.clear();
  total_ = 0;
  current_ = 0;
}

void ProgressModel::EnsureAnArea() {
  if (areas_.empty()) AppendArea(u"Please wait...", 1000);
}

bool ProgressModel::SetActiveArea(int area) {
  const int count = static_cast<int>(areas_.size());
  if (area == current_ || area < 0 || area > count) return false;
  if (area == count) {
    current_ = count - 1;
    position_ = 1000;
  } else {
    current_ = area;
    position_ = 0;
  }
  return true;
}

int ProgressModel::BarValue() const {
  if (total_ == 0 || areas_.empty()) return position_;
  const ProgressArea& a = areas_[static_cast<std::size_t>(
      std::min<int>(current_, static_cast<int>(areas_.size()) - 1))];
  const std::uint64_t p = static_cast<std::uint64_t>(std::clamp(position_, 0, 1000));
  return static_cast<int>((a.weight * p / 1000 + a.before) * 1000 / total_);
}

std::u16string ProgressModel::CurrentText() const {
  if (areas_.empty()) return {};
  return areas_[static_cast<std::size_t>(
                    std::min<int>(current_, static_cast<int>(areas_.size()) - 1))]
      .text;
}

void LargestFromCurrent(const std::vector<std::pair<int, int>>& measured, int current, int& width,
                        int& height) {
  width = height = 0;
  for (std::size_t i = static_cast<std::size_t>(std::max(current, 0)); i < measured.size(); ++i) {
    width = std::max(width, measured[i].first);
    height = std::max(height, measured[i].second);
  }
}

ProgressLayout LayoutProgressWindow(const ProgressMetrics& m) {
  ProgressLayout l;
  const int shift = m.picture ? 40 : 0;
  const int w = std::max(220, m.labelWidth + shift);
  int h = m.labelHeight;
  l.label = {11 + shift, 12, w - shift, h};
  if (m.picture) {
    l.picture = {9, 9, 32, 32};
    if (h < 26) {
      l.label.y = 12 + (26 - h) / 2;
      h = 26;
    }
  }
  l.bar = {11, h + 24, w, m.scrollBarHeight};
  l.window = {0, 0, w + 22 + 2 * m.frameWidth,
              h + m.smallCaptionHeight + m.scrollBarHeight + 2 * m.frameHeight + 36};
  return l;
}

}  // namespace ostrel
