// Compiler-decorated names to "Class.Method" and a unit.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

struct TDemangled {
  std::u16string name;
  std::u16string unit;  // empty when the name carries none
  bool destructor = false;
};

TDemangled DemangleName(std::u16string_view decorated);

}  // namespace ostrel
