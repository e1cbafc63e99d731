// The report plug-ins of the reporter's own: the three lists.
#include "crash/core/handling/ostrel.h"
#include "crash/core/handling/runtime.h"
#include "crash/report/compose/report_plugins.h"
#include "crash/report/lists/win/system_lists.h"

namespace ostrel {

void AddReportPlugin(const std::u16string& name, const std::u16string& description,
                     std::u16string (*callback)(), bool ownSection) {
  ReportPlugin plugin;
  plugin.name = name;
  plugin.description = description;
  if (callback) plugin.text = callback;
  plugin.ownSection = ownSection;
  ReportPlugins().Add(std::move(plugin));
}

bool RemoveReportPlugin(const std::u16string& name) { return ReportPlugins().Remove(name); }

namespace rt {

void RegisterListPlugins() {
  AddReportPlugin(u"hardware", u"list of installed hardware", ListHardware, true);
  AddReportPlugin(u"processes", u"list of running processes", ListProcesses, true);
  AddReportPlugin(u"modules", u"list of loaded modules", ListModules, true);
}

void UnregisterListPlugins() {
  for (const char16_t* name : {u"hardware", u"processes", u"modules"}) RemoveReportPlugin(name);
}

}  // namespace rt
}  // namespace ostrel
