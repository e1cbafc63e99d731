#include "crash/settings/class_list.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace ostrel {

namespace {

std::string Demangle(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

// "a::b<c::d>::E" -> "E"
std::string OwnName(const std::string& qualified) {
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < qualified.size(); ++i) {
    const char c = qualified[i];
    if (c == '<') ++depth;
    if (c == '>') --depth;
    if (depth == 0 && c == ':' && i + 1 < qualified.size() && qualified[i + 1] == ':') {
      start = i + 2;
      ++i;
    }
  }
  return qualified.substr(start);
}

template <class F>
void Walk(const std::type_info& type, F&& visit) {
  visit(type);
  if (auto* si = dynamic_cast<const abi::__si_class_type_info*>(&type)) {
    Walk(*si->__base_type, visit);
  } else if (auto* vmi = dynamic_cast<const abi::__vmi_class_type_info*>(&type)) {
    for (unsigned i = 0; i < vmi->__base_count; ++i) Walk(*vmi->__base_info[i].__base_type, visit);
  }
}

}  // namespace

std::vector<std::string> NormaliseClassList(std::u16string_view list) {
  std::vector<std::string> names;
  std::string current;
  auto flush = [&] {
    const auto first = current.find_first_not_of(" \t");
    const auto last = current.find_last_not_of(" \t");
    if (first != std::string::npos) names.push_back(current.substr(first, last - first + 1));
    current.clear();
  };
  for (char16_t c : list) {
    if (c == u',') {
      flush();
    } else {
      // Class names are ASCII; anything else cannot match and stays distinct.
      current.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
    }
  }
  flush();
  return names;
}

std::vector<std::string> ClassAncestry(const std::type_info& type) {
  std::vector<std::string> out;
  Walk(type, [&](const std::type_info& t) { out.push_back(Demangle(t)); });
  return out;
}

bool MatchesClassList(const std::type_info& type, std::u16string_view list,
                      const std::type_info* reporterClass) {
  const std::vector<std::string> names = NormaliseClassList(list);
  if (names.empty()) return false;
  bool match = false;
  Walk(type, [&](const std::type_info& t) {
    if (match) return;
    const std::string qualified = Demangle(t);
    const std::string own = OwnName(qualified);
    const bool isReporterClass = reporterClass && t == *reporterClass;
    for (const std::string& n : names) {
      if (n == own || n == qualified || (isReporterClass && n == "Exception")) match = true;
    }
  });
  return match;
}

}  // namespace ostrel
