#pragma once
// The progress an SMTP delivery shows: weighted areas named by the setting
// that holds their text, the current one and the position within it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ostrel::delivery {

enum class SendArea { PrepAttMsg, MxLookMsg, ConnMsg, SendMailMsg, SendAttMsg, SendFinalMsg };

struct SendAreaWeight {
  SendArea area;
  std::uint64_t weight;
};

// PrepAttMsg, then per recipient MxLookMsg (direct delivery only),
// ConnMsg, SendMailMsg, one SendAttMsg per file (its size / 16) and
// SendFinalMsg. Direct delivery repeats the recipient's areas for every
// further recipient, with a ConnMsg of 5000 there.
std::vector<SendAreaWeight> SmtpSendAreas(bool direct, std::size_t recipients,
                                          std::span<const std::uint64_t> fileSizes);

// The progress window as the transport sees it; the Win32 layer brings it.
class ISendProgressSink {
 public:
  virtual ~ISendProgressSink() = default;
  virtual void SetAreas(const std::vector<SendAreaWeight>& areas) = 0;
  // The number of areas means all done.
  virtual void SetArea(int index) = 0;
  virtual void SetPosition(int perMille) = 0;
};

// Keeps the current area; without a sink it only counts.
class SendProgress {
 public:
  explicit SendProgress(ISendProgressSink* sink = nullptr) : sink_(sink) {}
  void SetAreas(const std::vector<SendAreaWeight>& areas);
  void Next() { Jump(area_ + 1); }
  void Jump(int area);
  void Position(std::uint64_t done, std::uint64_t total);
  int Area() const { return area_; }

 private:
  ISendProgressSink* sink_;
  int area_ = 0;
};

}  // namespace ostrel::delivery
