#pragma once
// The reference-counting base every reporter interface starts with. Its
// layout and calling convention match the system's IUnknown on Windows.

#include <cstdint>

#include "ostrel/guid.h"

#if defined(_WIN32) && defined(__i386__)
#define OSTREL_CALL __stdcall
#else
#define OSTREL_CALL
#endif

namespace ostrel {

using HResult = std::int32_t;
constexpr HResult kOk = 0;
constexpr HResult kNoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult kPointer = static_cast<HResult>(0x80004003u);

// {00000000-0000-0000-C000-000000000046}
constexpr Guid kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknownBase {
 public:
  virtual HResult OSTREL_CALL QueryInterface(const Guid& iid, void** out) = 0;
  virtual std::uint32_t OSTREL_CALL AddRef() = 0;
  virtual std::uint32_t OSTREL_CALL Release() = 0;

 protected:
  ~IUnknownBase() = default;
};

}  // namespace ostrel
