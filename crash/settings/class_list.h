#pragma once
// Exception-class filters: does an exception's class, or any of its
// ancestors, have a name in a comma-separated list?

#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace ostrel {

// Blanks at both ends and around each comma removed, split at commas.
std::vector<std::string> NormaliseClassList(std::u16string_view list);

// `type` is the dynamic type of the exception object (typeid of it). A class
// matches by its own name ("EDBEditError") or its qualified one
// ("pelmora::EDBEditError"). `reporterClass`, when given, also answers to
// "Exception", the base exception class.
bool MatchesClassList(const std::type_info& type, std::u16string_view list,
                      const std::type_info* reporterClass = nullptr);

// For a polymorphic exception object: its dynamic class.
template <class T>
bool MatchesObjectClassList(const T& object, std::u16string_view list,
                            const std::type_info* reporterClass = nullptr) {
  return MatchesClassList(typeid(object), list, reporterClass);
}

// The class and every ancestor, the class first (demangled, qualified).
std::vector<std::string> ClassAncestry(const std::type_info& type);

}  // namespace ostrel
