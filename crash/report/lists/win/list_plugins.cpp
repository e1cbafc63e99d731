// The report plug-ins of the reporter's own: the three lists.
#include "crash/report/lists/win/list_plugins.h"

#include "ostrel/ostrel.h"
#include "crash/report/lists/win/system_lists.h"

namespace ostrel {

void RegisterListPlugins() {
  AddReportPlugin(u"hardware", u"list of installed hardware", ListHardware, true);
  AddReportPlugin(u"processes", u"list of running processes", ListProcesses, true);
  AddReportPlugin(u"modules", u"list of loaded modules", ListModules, true);
}

void UnregisterListPlugins() {
  for (const char16_t* name : {u"hardware", u"processes", u"modules"}) RemoveReportPlugin(name);
}

}  // namespace ostrel
