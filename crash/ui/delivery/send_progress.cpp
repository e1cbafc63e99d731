#include "crash/ui/delivery/send_progress.h"

namespace ostrel::delivery {

std::vector<SendAreaWeight> SmtpSendAreas(bool direct, std::size_t recipients,
                                          std::span<const std::uint64_t> fileSizes) {
  std::vector<SendAreaWeight> areas = {{SendArea::PrepAttMsg, 500}};
  const std::size_t rounds = direct && recipients > 1 ? recipients : 1;
  for (std::size_t round = 0; round < rounds; ++round) {
    if (direct) areas.push_back({SendArea::MxLookMsg, 500});
    areas.push_back({SendArea::ConnMsg, round == 0 ? 500u : 5000u});
    areas.push_back({SendArea::SendMailMsg, 100});
    for (std::uint64_t size : fileSizes) areas.push_back({SendArea::SendAttMsg, size / 16});
    areas.push_back({SendArea::SendFinalMsg, 1000});
  }
  return areas;
}

void SendProgress::SetAreas(const std::vector<SendAreaWeight>& areas) {
  if (sink_) sink_->SetAreas(areas);
  area_ = 0;
}

void SendProgress::Jump(int area) {
  area_ = area;
  if (sink_) sink_->SetArea(area);
}

void SendProgress::Position(std::uint64_t done, std::uint64_t total) {
  if (sink_) sink_->SetPosition(total == 0 ? 1000 : static_cast<int>(done * 1000 / total));
}

}  // namespace ostrel::delivery
