// A C run-time function given an invalid parameter.
// expect exit: 1
// expect output: phase 1 source 11 class EOstrelError continuable 0 thread main message Runtime
// error: invalid parameter passed to a C run-time function.
#include <windows.h>

#include "tests/crash/zoo_support.h"
#include "ostrel/ostrel.h"

#include <cstdint>
int main() {
  zoo::Watch();
  // What the C run-time does with a bad argument: the handler when it can
  // take one (Windows' msvcrt), else its default, this exception (Wine's
  // msvcrt has neither: the exception stands in for it there).
  HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
  using Fn =
      void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, std::uintptr_t);
  auto invalid =
      reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(crt, "_invalid_parameter")));
  if (invalid && GetProcAddress(crt, "_set_invalid_parameter_handler")) {
    invalid(nullptr, nullptr, nullptr, 0, 0);
  } else {
    RaiseException(0xC0000417, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  }
  zoo::Say("not stopped");
}
