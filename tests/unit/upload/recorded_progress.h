#pragma once
// A progress window that writes down what it was told.
#include <string>
#include <vector>

#include "crash/ui/upload/upload_progress.h"

namespace ostrel::upload::test {

class RecordedProgress final : public IUploadProgress {
 public:
  void SetAreas(const std::vector<ProgressArea>& a) override { areas = a; }
  void NextArea() override {
    ++area;
    positions.push_back(-1);
  }
  void SetPosition(int p) override { positions.push_back(p); }

  std::vector<ProgressArea> areas;
  int area = 0;
  std::vector<int> positions;  // -1 marks the start of the next area
};

}  // namespace ostrel::upload::test
