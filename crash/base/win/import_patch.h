#pragma once
// Redirecting a module's calls of a system function through its import
// address table, in every loaded module.
#include <windows.h>

#include <vector>

namespace ostrel {

// Every import slot that holds target now holds hook; the slots are added
// to patched.
void PatchImports(void* target, void* hook, std::vector<void**>& patched);
// The slots that still hold hook get target back; patched is emptied.
void RestoreImports(std::vector<void**>& patched, void* hook, void* target);

}  // namespace ostrel
