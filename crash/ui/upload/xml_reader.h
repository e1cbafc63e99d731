#pragma once
// A small XML reader for the bug trackers' answers: elements, attributes
// and text, nothing else. It refuses rather than guesses: malformed or
// non-UTF-8 input, document type declarations (and with them any entity
// but the five predefined ones), nesting or element counts beyond its
// limits. It reads in one pass without recursion.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::upload {

struct XmlAttribute {
  std::string name;
  std::string value;
};

struct XmlElement {
  std::string name;  // as written, with any prefix
  std::vector<XmlAttribute> attributes;
  std::vector<XmlElement> children;
  std::string text;  // the element's own character data, joined, as UTF-8

  // The name without its prefix ("SOAP-ENV:Fault" gives "Fault").
  std::string_view LocalName() const;
  const std::string* Attribute(std::string_view name) const;
  // The first child, or the first element of the whole subtree (this one
  // included), of that local name; nullptr when there is none.
  const XmlElement* Child(std::string_view localName) const;
  const XmlElement* Find(std::string_view localName) const;
  // Every element of the subtree of that local name, in document order.
  std::vector<const XmlElement*> FindAll(std::string_view localName) const;
};

struct XmlLimits {
  std::size_t maxInput = 32u << 20;
  std::size_t maxDepth = 64;
  std::size_t maxElements = 200000;
  std::size_t maxAttributes = 64;  // on one element
};

struct XmlDocument {
  bool ok = false;
  std::string error;  // what was wrong, and where
  XmlElement root;
};

XmlDocument ReadXml(std::string_view text, const XmlLimits& limits = {});

// A tracker's answer as a document; false, with `error` saying that the
// answer is not XML and why, when it cannot be read.
bool ReadAnswerXml(std::string_view body, XmlDocument& document, std::string& error);

}  // namespace ostrel::upload
