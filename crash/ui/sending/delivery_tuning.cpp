#include <mutex>

#include "ostrel/delivery_tuning.h"

namespace ostrel {

namespace {

// The one copy the process-wide tuning lives in; deliveries on other
// threads read it while the program may set it.
struct TuningStore {
  std::mutex lock;
  DeliveryTuning value;
};

TuningStore& Store() {
  static TuningStore store;
  return store;
}

}  // namespace

void SetDeliveryTuning(const DeliveryTuning& tuning) {
  TuningStore& s = Store();
  std::lock_guard<std::mutex> hold(s.lock);
  s.value = tuning;
}

DeliveryTuning CurrentDeliveryTuning() {
  TuningStore& s = Store();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.value;
}

}  // namespace ostrel
