#pragma once
// The module, process and hardware lists as the reporter's own report
// plug-ins, registered at start-up and removed at stop.

namespace ostrel {

void RegisterListPlugins();
void UnregisterListPlugins();

}  // namespace ostrel
