#pragma once
// The interception points: system exception filters, the run-time's final
// error paths, thread creation.

namespace ostrel::rt {

void InstallInterception();
void RemoveInterception();

}  // namespace ostrel::rt
