// A library that exports nothing: its one function is handed out through an
// environment variable, so that only the stack says where its code is.
#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace {

using Callback = void (*)(std::uintptr_t* returns);

__attribute__((noinline)) void Forward(Callback callback, std::uintptr_t* returns) {
  // Where the call below returns to.
  returns[0] = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
  callback(returns);
  asm volatile("" ::: "memory");  // no tail call: this frame stays on the stack
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", reinterpret_cast<void*>(&Forward));
    SetEnvironmentVariableA("ZOO_HIDDEN_FORWARD", text);
  }
  return TRUE;
}
