#pragma once
// The class filter applied when an exception report is made: the exception's
// class picks the group F1, F2 or Gn, and that group's settings decide what
// is done for the exception.

#include <cstdint>
#include <string>
#include <typeinfo>

#include "ostrel/report_types.h"
#include "ostrel/reporter_settings.h"

namespace ostrel {

enum class FilterGroup : std::uint8_t { F1, F2, Gn };

struct ClassFilterResult {
  FilterGroup group = FilterGroup::Gn;
  bool createBugReport = true;
  bool createScreenshot = false;
  bool appendScreenshot = false;
  bool pauseThreads = false;
  bool callHandlers = true;
  ShowMode show = ShowMode::Box;
  std::u16string showAssistant;
};

// `exceptionClass` is the dynamic type of the exception object, null when
// there is no valid object (a freeze, for one): such an exception is in Gn.
// `reporterClass` is the reporter's own exception class, which also answers
// to the base exception class's name.
FilterGroup ChooseFilterGroup(ISettingsLookup& settings, const std::type_info* exceptionClass,
                              const std::type_info* reporterClass = nullptr);

// The group and its settings. `PauseThreads` and `ScrShotDepth` are read
// from the same settings.
ClassFilterResult ApplyClassFilter(ISettingsLookup& settings, const std::type_info* exceptionClass,
                                   const std::type_info* reporterClass = nullptr);

}  // namespace ostrel
