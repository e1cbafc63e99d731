#pragma once
// Interface identifiers. Under Windows this is the system GUID, so interfaces
// can be handed to and from system code unchanged.

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <guiddef.h>
#endif

namespace ostrel {

#ifdef _WIN32
using Guid = ::GUID;
#else
struct Guid {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
#endif

static_assert(sizeof(Guid) == 16);

inline bool SameGuid(const Guid& a, const Guid& b) {
  return std::memcmp(&a, &b, sizeof(Guid)) == 0;
}

}  // namespace ostrel
