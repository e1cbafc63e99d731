#include "sim/core/sql_rewrite.h"

namespace pelmora::sim {

namespace {

// Copies a quoted run starting at sql[i] (the opening quote) and returns the
// index after it. A doubled closing quote stands for itself.
size_t CopyQuoted(std::string_view sql, size_t i, char close, std::string& out) {
  out += sql[i++];
  while (i < sql.size()) {
    char c = sql[i++];
    out += c;
    if (c == close) {
      if (i < sql.size() && sql[i] == close && close != ']') {
        out += sql[i++];
        continue;
      }
      break;
    }
  }
  return i;
}

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Case-blind match of word at sql[i], standing alone.
bool WordAt(std::string_view sql, size_t i, std::string_view word) {
  if (i + word.size() > sql.size() || (i > 0 && IsWordChar(sql[i - 1]))) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    char c = sql[i + k];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != word[k]) return false;
  }
  return i + word.size() == sql.size() || !IsWordChar(sql[i + word.size()]);
}

}  // namespace

std::string OrderOverSelectList(std::string_view sql) {
  size_t start = sql.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos || !WordAt(sql, start, "select")) return {};
  int depth = 0;
  size_t order = std::string_view::npos;
  std::string scratch;
  for (size_t i = start; i < sql.size();) {
    char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      scratch.clear();
      i = CopyQuoted(sql, i, c == '[' ? ']' : c, scratch);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (depth == 0 && WordAt(sql, i, "order")) {
      size_t by = sql.find_first_not_of(" \t\r\n", i + 5);
      if (by != std::string_view::npos && WordAt(sql, by, "by")) order = i;
    }
    ++i;
  }
  if (order == std::string_view::npos) return {};
  std::string_view terms = sql.substr(sql.find_first_not_of(" \t\r\n", order + 5) + 2);
  return "select * from (" + std::string(sql.substr(0, order)) + ") order by" + std::string(terms);
}

std::string RewriteConcatenation(std::string_view sql) {
  std::string out;
  out.reserve(sql.size() + 8);
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'' || c == '"' || c == '`') {
      i = CopyQuoted(sql, i, c, out);
    } else if (c == '[') {
      i = CopyQuoted(sql, i, ']', out);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      size_t end = sql.find('\n', i);
      end = end == std::string_view::npos ? sql.size() : end;
      out.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
      out.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '+') {
      out += "||";
      ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace pelmora::sim
