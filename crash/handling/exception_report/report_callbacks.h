#pragma once
// The callbacks registered on one report: told of every change of its text.

#include <mutex>
#include <string>
#include <vector>

#include "ostrel/exception_report.h"

namespace ostrel {

class ReportCallbacks {
 public:
  // False when the routine (or method with its object) was registered
  // already: only its critical flag changes then.
  bool Add(ReportCallback routine, bool critical);
  bool Add(ReportMethodCallback method, void* object, bool critical);
  void Remove(ReportCallback routine);
  void Remove(ReportMethodCallback method, void* object);
  bool AnyCritical() const;
  // Routines first, then methods, each in the order registered; the list is
  // copied first, so a callback may register or remove callbacks.
  void Notify(bool complete, const std::u16string& text, IExceptionReport* report) const;

 private:
  struct Callback {
    ReportCallback routine = nullptr;
    ReportMethodCallback method = nullptr;
    void* object = nullptr;
    bool critical = false;
  };
  mutable std::mutex lock_;
  std::vector<Callback> callbacks_;
};

}  // namespace ostrel
