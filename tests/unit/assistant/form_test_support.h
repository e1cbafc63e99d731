#pragma once
// Building form streams byte by byte, and comparing the trees read from them.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crash/base/utf.h"
#include "crash/settings/code_page.h"
#include "crash/ui/assistant/form_stream.h"

namespace ostrel::assistant::test {

class StreamBytes {
 public:
  StreamBytes() { Raw({'T', 'P', 'F', '0'}); }
  StreamBytes& Raw(std::initializer_list<int> bytes) {
    for (int b : bytes) data.push_back(static_cast<std::uint8_t>(b));
    return *this;
  }
  StreamBytes& Short(std::string_view s) {
    data.push_back(static_cast<std::uint8_t>(s.size()));
    data.insert(data.end(), s.begin(), s.end());
    return *this;
  }
  StreamBytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  StreamBytes& Object(std::string_view className, std::string_view name) {
    return Short(className).Short(name);
  }
  StreamBytes& Property(std::string_view name, std::uint8_t type) {
    Short(name);
    data.push_back(type);
    return *this;
  }
  StreamBytes& End() { return Raw({0}); }

  std::vector<std::uint8_t> data;
};

// What the page engine sees of a property: its name, kind and text.
inline std::string Describe(const StreamProperty& p) {
  const Latin1CodePage latin1;
  return p.name + "=" + std::to_string(static_cast<int>(p.kind)) + ":" +
         Utf16ToUtf8(PropertyText(p, latin1));
}

inline void ExpectSameTree(const FormObject& a, const FormObject& b, const std::string& at = "") {
  const std::string here = at + "/" + a.name;
  EXPECT_EQ(a.className, b.className) << here;
  EXPECT_EQ(a.name, b.name) << here;
  ASSERT_EQ(a.properties.size(), b.properties.size()) << here;
  for (std::size_t i = 0; i < a.properties.size(); ++i) {
    EXPECT_EQ(Describe(a.properties[i]), Describe(b.properties[i])) << here;
  }
  ASSERT_EQ(a.children.size(), b.children.size()) << here;
  for (std::size_t i = 0; i < a.children.size(); ++i)
    ExpectSameTree(a.children[i], b.children[i], here);
}

}  // namespace ostrel::assistant::test
