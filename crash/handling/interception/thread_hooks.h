#pragma once
// Thread creation patched in every module's imports, so that every thread
// starts through the reporter (see thread_hooks.cpp).

namespace ostrel::rt {

void InstallThreadHooks();
void RemoveThreadHooks();

}  // namespace ostrel::rt
