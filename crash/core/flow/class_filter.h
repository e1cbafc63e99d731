#pragma once
// The class filter applied when an exception report is made: the exception's
// class picks the group F1, F2 or Gn, and that group's settings decide what
// is done for the exception.

#include <cstdint>
#include <string>
#include <typeinfo>

#include "crash/core/settings/settings_interfaces.h"

namespace ostrel {

enum class FilterGroup : std::uint8_t { F1, F2, Gn };

// Show settings: the exception box, the group's assistant, a plain box with
// a details button, a plain box, nothing.
enum class ShowSetting : std::uint8_t {
  Box = 0,
  Assistant = 1,
  PlainWithDetails = 2,
  Plain = 3,
  Nothing = 4,
};

struct ClassFilterResult {
  FilterGroup group = FilterGroup::Gn;
  bool createBugReport = true;
  bool createScreenshot = false;
  bool appendScreenshot = false;
  bool pauseThreads = false;
  bool callHandlers = true;
  ShowSetting show = ShowSetting::Box;
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
