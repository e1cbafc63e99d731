#include "tools/settings/settings_source.h"

#include <cerrno>
#include <cstdlib>

#include "crash/settings/password_cipher.h"
#include "crash/base/utf.h"

namespace ostrel {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::u16string ParseQuoted(std::string_view v, int line) {
  if (v.size() < 2 || v.back() != '"') throw SourceError(line, "unterminated string");
  v = v.substr(1, v.size() - 2);
  std::string utf8;
  std::u16string out;
  auto flush = [&] {
    out += Utf8ToUtf16(utf8);
    utf8.clear();
  };
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == '"') throw SourceError(line, "unescaped quote inside a string");
    if (c != '\\') {
      utf8.push_back(c);
      continue;
    }
    if (++i >= v.size()) throw SourceError(line, "lone backslash at the end of a string");
    switch (v[i]) {
      case '\\':
        utf8.push_back('\\');
        break;
      case '"':
        utf8.push_back('"');
        break;
      case 'r':
        utf8.push_back('\r');
        break;
      case 'n':
        utf8.push_back('\n');
        break;
      case 't':
        utf8.push_back('\t');
        break;
      case 'u': {
        int code = 0;
        for (int k = 1; k <= 4; ++k) {
          const int d = i + k < v.size() ? HexDigit(v[i + k]) : -1;
          if (d < 0) throw SourceError(line, "\\u needs four hexadecimal digits");
          code = code * 16 + d;
        }
        flush();
        out.push_back(static_cast<char16_t>(code));
        i += 4;
        break;
      }
      default:
        throw SourceError(line, std::string("unknown escape \\") + v[i]);
    }
  }
  flush();
  return out;
}

bool ValidKey(std::string_view key) {
  if (key.empty() || key.size() > 255) return false;
  for (char c : key)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return true;
}

const StreamProperty* First(const std::vector<StreamProperty>& props, std::string_view name) {
  for (const auto& p : props)
    if (p.name == name) return &p;
  return nullptr;
}

std::u16string TextOf(const std::vector<StreamProperty>& props, std::string_view name) {
  const StreamProperty* p = First(props, name);
  return p && p->kind == ValueKind::String ? p->text : std::u16string();
}

void Encipher(std::vector<StreamProperty>& props, const char* password, const char* account,
              const char* server) {
  const std::u16string a = TextOf(props, account), s = TextOf(props, server);
  for (auto& p : props)
    if (p.name == password && p.kind == ValueKind::String && !p.text.empty())
      p.text = EncipherPassword(p.text, a, s);
}

}  // namespace

std::vector<StreamProperty> ParseSettingsSource(std::string_view source) {
  std::vector<StreamProperty> props;
  int line = 0;
  while (!source.empty()) {
    ++line;
    const std::size_t nl = source.find('\n');
    std::string_view text = Trim(source.substr(0, nl));
    source.remove_prefix(nl == std::string_view::npos ? source.size() : nl + 1);
    if (text.empty() || text.front() == '#') continue;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) throw SourceError(line, "expected Key = value");
    const std::string key(Trim(text.substr(0, eq)));
    const std::string_view value = Trim(text.substr(eq + 1));
    if (!ValidKey(key)) throw SourceError(line, "bad key name '" + key + "'");
    if (value == "true" || value == "false") {
      props.push_back(MakeBoolProperty(key, value == "true"));
    } else if (!value.empty() && value.front() == '"') {
      props.push_back(MakeTextProperty(key, ParseQuoted(value, line)));
    } else {
      const std::string digits(value);
      char* end = nullptr;
      errno = 0;
      const long long n = std::strtoll(digits.c_str(), &end, 10);
      if (digits.empty() || *end != '\0' || errno == ERANGE || n < INT32_MIN || n > INT32_MAX)
        throw SourceError(line, "value must be true, false, a 32-bit integer or a quoted string");
      props.push_back(MakeIntProperty(key, static_cast<std::int32_t>(n)));
    }
  }
  Encipher(props, "SmtpPassword", "SmtpAccount", "SmtpServer");
  Encipher(props, "HttpPassword", "HttpAccount", "HttpServer");
  Encipher(props, "BugTrPassword", "BugTrAccount", "HttpServer");
  return props;
}

}  // namespace ostrel
