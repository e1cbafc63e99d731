#include "crash/handling/exception_report/report_callbacks.h"

namespace ostrel {

bool ReportCallbacks::Add(ReportCallback routine, bool critical) {
  std::lock_guard<std::mutex> guard(lock_);
  for (Callback& c : callbacks_) {
    if (c.routine == routine) {
      c.critical = critical;
      return false;
    }
  }
  callbacks_.push_back({routine, nullptr, nullptr, critical});
  return true;
}

bool ReportCallbacks::Add(ReportMethodCallback method, void* object, bool critical) {
  std::lock_guard<std::mutex> guard(lock_);
  for (Callback& c : callbacks_) {
    if (c.method == method && c.object == object) {
      c.critical = critical;
      return false;
    }
  }
  callbacks_.push_back({nullptr, method, object, critical});
  return true;
}

void ReportCallbacks::Remove(ReportCallback routine) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase_if(callbacks_, [&](const Callback& c) { return c.routine == routine; });
}

void ReportCallbacks::Remove(ReportMethodCallback method, void* object) {
  std::lock_guard<std::mutex> guard(lock_);
  std::erase_if(callbacks_,
                [&](const Callback& c) { return c.method == method && c.object == object; });
}

bool ReportCallbacks::AnyCritical() const {
  std::lock_guard<std::mutex> guard(lock_);
  for (const Callback& c : callbacks_) {
    if (c.critical) return true;
  }
  return false;
}

void ReportCallbacks::Notify(bool complete, const std::u16string& text,
                             IExceptionReport* report) const {
  std::vector<Callback> callbacks;
  {
    std::lock_guard<std::mutex> guard(lock_);
    callbacks = callbacks_;
  }
  for (const Callback& c : callbacks) {
    if (c.routine) c.routine(complete, text, report);
  }
  for (const Callback& c : callbacks) {
    if (c.method) c.method(c.object, complete, text, report);
  }
}

}  // namespace ostrel
