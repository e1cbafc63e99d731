#include "crash/flow/class_filter.h"

#include "crash/settings/class_list.h"

namespace ostrel {

namespace {

std::string GroupKey(FilterGroup group, const char* suffix) {
  switch (group) {
    case FilterGroup::F1:
      return std::string("F1") + suffix;
    case FilterGroup::F2:
      return std::string("F2") + suffix;
    case FilterGroup::Gn:
      break;
  }
  return std::string("Gn") + suffix;
}

bool InList(ISettingsLookup& settings, const char* key, const std::type_info& type,
            const std::type_info* reporterClass) {
  std::u16string list;
  settings.LookupText(key, list);
  return MatchesClassList(type, list, reporterClass);
}

// A value outside the table (a wrapped one could read as "show nothing")
// shows the full box: such an exception stays visible.
ShowMode ShowFrom(std::int32_t value) {
  if (value < 0 || value > static_cast<std::int32_t>(ShowMode::Nothing)) return ShowMode::Box;
  return static_cast<ShowMode>(value);
}

}  // namespace

FilterGroup ChooseFilterGroup(ISettingsLookup& settings, const std::type_info* exceptionClass,
                              const std::type_info* reporterClass) {
  if (!exceptionClass) return FilterGroup::Gn;
  if (InList(settings, "F1Classes", *exceptionClass, reporterClass)) return FilterGroup::F1;
  if (InList(settings, "F2Classes", *exceptionClass, reporterClass)) return FilterGroup::F2;
  return FilterGroup::Gn;
}

ClassFilterResult ApplyClassFilter(ISettingsLookup& settings, const std::type_info* exceptionClass,
                                   const std::type_info* reporterClass) {
  ClassFilterResult r;
  r.group = ChooseFilterGroup(settings, exceptionClass, reporterClass);
  auto flag = [&](const char* suffix) {
    return settings.LookupBool(GroupKey(r.group, suffix).c_str());
  };
  r.createBugReport = !flag("NoBugRep");
  r.createScreenshot = !flag("NoScrShot") && settings.LookupInt("ScrShotDepth") > 0;
  r.appendScreenshot = r.createScreenshot;
  r.pauseThreads = !flag("NoSuspend") && settings.LookupBool("PauseThreads");
  r.callHandlers = !flag("NoHandlers");
  r.show = ShowFrom(settings.LookupInt(GroupKey(r.group, "ShowCfg").c_str()));
  settings.LookupText(GroupKey(r.group, "Assis").c_str(), r.showAssistant);
  return r;
}

}  // namespace ostrel
