#include "crash/report/symbols/demangle.h"

#include <algorithm>

namespace ostrel {
namespace {

std::u16string ReplaceScopes(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u':' && i + 1 < text.size() && text[i + 1] == u':') {
      out.push_back(u'.');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string Trim(std::u16string text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

}  // namespace

TDemangled DemangleName(std::u16string_view decorated) {
  TDemangled out;
  std::u16string name = ReplaceScopes(decorated);
  if (!name.empty() && name[0] == u'@') {
    // The "@" that opens the decorated part: the first, or for "@_$" names
    // the one after the first "$" beyond position 5.
    std::size_t lead = 0;
    if (name.size() >= 3 && name.compare(0, 3, u"@_$") == 0) {
      const auto dollar = name.find(u'$', 5);
      lead = dollar == std::u16string::npos ? std::u16string::npos : name.find(u'@', dollar);
      if (lead == std::u16string::npos) lead = 0;
    }
    const std::size_t scan = std::min(lead + 2, name.size());
    std::u16string body = name.substr(lead + 1, scan - lead - 1);
    bool unitFound = false;
    for (std::size_t i = scan; i < name.size(); ++i) {
      const char16_t c = name[i];
      if (c == u'$') {
        if (i + 2 < name.size() && name[i + 2] == u'd') out.destructor = true;
        break;
      }
      if (c == u'@') {
        if (!unitFound) {
          out.unit = name.substr(lead + 1, i - lead - 1);
          unitFound = true;
        }
        body.push_back(u'.');
      } else {
        body.push_back(c);
      }
    }
    if (name.size() >= 2 && name[1] == u'%') {
      const auto tail = name.rfind(u"%@");
      if (tail != std::u16string::npos) {
        std::u16string_view rest = std::u16string_view(name).substr(tail + 2);
        rest = rest.substr(0, rest.find(u'$'));
        body += u".";
        body += rest;
      }
    }
    if (unitFound && body.size() > out.unit.size() + 1 &&
        body.compare(0, out.unit.size(), out.unit) == 0 && body[out.unit.size()] == u'.') {
      body.erase(0, out.unit.size() + 1);
    } else {
      out.unit.clear();
    }
    name = std::move(body);
  }
  if (!name.empty() && name[0] == u'%') name.erase(0, 1);
  if (!name.empty() && name[0] == u'.') name[0] = u'@';
  if (!name.empty() && name.back() == u'.') name += out.destructor ? u"Destroy" : u"Create";
  name = Trim(std::move(name));
  if (!name.empty() && name.back() == u'.') name += u"?";
  out.name = std::move(name);
  return out;
}

}  // namespace ostrel
