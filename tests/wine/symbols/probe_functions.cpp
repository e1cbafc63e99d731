// Built without optimisation: each probe's call is a real call on its line.
#include "tests/wine/symbols/probe_functions.h"

namespace {

__attribute__((noinline)) std::uintptr_t ReturnAddress() {
  return reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
}

}  // namespace

extern "C" __declspec(dllexport) std::uintptr_t ProbeAlpha(int* line) {
  *line = __LINE__ + 1;
  const std::uintptr_t here = ReturnAddress();
  return here - 1;
}

namespace probe {

std::uintptr_t TProbeForm::ShowWebsites(int* line) {
  *line = __LINE__ + 1;
  const std::uintptr_t here = ReturnAddress();
  return here - 1;
}

}  // namespace probe
