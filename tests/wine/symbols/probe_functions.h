// Functions whose own addresses and lines the symbol tests look up.
#pragma once

#include <cstdint>

extern "C" __declspec(dllexport) std::uintptr_t ProbeAlpha(int* line);

namespace probe {

class TProbeForm {
 public:
  static std::uintptr_t ShowWebsites(int* line);
};

}  // namespace probe
