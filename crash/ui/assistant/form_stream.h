#pragma once
// An assistant page as stored: a "TPF0" form stream of one object whose
// properties and child objects describe the page and its items. Resource
// data another build may have written, so reading never trusts a length.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "crash/settings/code_page.h"
#include "crash/settings/property_stream.h"

namespace ostrel::assistant {

struct FormObject {
  std::string className;  // UTF-8, as stored ("INVButton")
  std::string name;       // UTF-8
  std::vector<StreamProperty> properties;
  std::vector<FormObject> children;
};

enum class FormStop {
  End,          // the whole object was read
  NoSignature,  // not a form stream: the page gets only its fixed buttons
  UnknownType,  // a value type outside the table; what came before stays
  Truncated,    // the data ends inside a record; what came before stays
  TooDeep,      // children nested deeper than kMaxFormDepth
};

constexpr int kMaxFormDepth = 16;

struct ParsedForm {
  FormStop stop = FormStop::End;
  std::uint8_t badType = 0;  // with UnknownType
  std::size_t stopOffset = 0;
  FormObject root;  // everything read before the stop
};

ParsedForm ReadFormStream(std::span<const std::uint8_t> data);

// "Internal error: Invalid assistant resource (<type in decimal>)." for an
// unknown type, a like text for the other faults, empty for End and
// NoSignature.
std::u16string FormStreamErrorText(const ParsedForm& parsed);

// A property's value as the page engine takes it: integers as decimal text,
// booleans as "0" / "1", texts decoded (8-bit ones in the system's code page).
std::u16string PropertyText(const StreamProperty& property, const ICodePage& codePage);

// The stream of `root`. Throws std::invalid_argument for what the format
// cannot hold (a name over 255 bytes, a value its type byte cannot carry, a
// child without a class name) or the reader would refuse (nesting deeper
// than kMaxFormDepth).
std::vector<std::uint8_t> WriteFormStream(const FormObject& root);

// The RCDATA name of a page's resource: the prefix and the page name in
// upper case.
std::u16string PageResourceName(std::u16string_view pageName);

}  // namespace ostrel::assistant
