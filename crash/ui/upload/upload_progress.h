#pragma once
// How uploads move the progress window: the areas of a plain upload, the
// next area, and the position within the current one.
#include <cstdint>
#include <vector>

namespace ostrel::upload {

// Which of the progress messages an area shows (`PrepAttMsg`, `ConnMsg`,
// `SendAttMsg`, `SendFinalMsg`).
enum class ProgressText { PrepareAttachments, Connect, SendAttachment, SendFinal };

struct ProgressArea {
  ProgressText text = ProgressText::Connect;
  std::uint64_t weight = 0;
};

class IUploadProgress {
 public:
  virtual ~IUploadProgress() = default;
  // The plain upload's own areas, in place of the delivery's.
  virtual void SetAreas(const std::vector<ProgressArea>& areas) = 0;
  virtual void NextArea() = 0;
  // Within the current area, 0 .. 1000.
  virtual void SetPosition(int thousandths) = 0;
};

class NoProgress final : public IUploadProgress {
 public:
  void SetAreas(const std::vector<ProgressArea>&) override {}
  void NextArea() override {}
  void SetPosition(int) override {}
};

}  // namespace ostrel::upload
