#include "mime_reading.h"

#include <cctype>

namespace ostrel::delivery::testing {

namespace {

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (c != '\r' && c != '\n') clean += c;
  if (clean.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < clean.size(); i += 4) {
    const bool last = i + 4 == clean.size();
    int padding = 0;
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = clean[i + k];
      int v = Sextet(c);
      if (c == '=' && last && k >= 2) {
        ++padding;
        v = 0;
      } else if (v < 0 || padding > 0) {
        return std::nullopt;
      }
      bits = bits << 6 | static_cast<std::uint32_t>(v);
    }
    out += static_cast<char>(bits >> 16);
    if (padding < 2) out += static_cast<char>(bits >> 8 & 0xFF);
    if (padding < 1) out += static_cast<char>(bits & 0xFF);
  }
  return out;
}

std::string DecodeEncodedWords(std::string_view text) {
  std::string out, gap;
  bool afterWord = false;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text.substr(at, 2) == "=?") {
      const std::size_t q1 = text.find('?', at + 2);
      const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('?', q1 + 1);
      const std::size_t end = q2 == std::string_view::npos ? q2 : text.find("?=", q2 + 1);
      if (end != std::string_view::npos) {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[q1 + 1])));
        const std::string_view content = text.substr(q2 + 1, end - q2 - 1);
        std::string bytes;
        if (kind == 'B') {
          bytes = DecodeBase64(content).value_or("<bad base64>");
        } else {
          for (std::size_t i = 0; i < content.size(); ++i) {
            if (content[i] == '=' && i + 2 < content.size()) {
              bytes +=
                  static_cast<char>(std::stoi(std::string(content.substr(i + 1, 2)), nullptr, 16));
              i += 2;
            } else {
              bytes += content[i] == '_' ? ' ' : content[i];
            }
          }
        }
        if (!afterWord) out += gap;
        gap.clear();
        out += bytes;
        afterWord = true;
        at = end + 2;
        continue;
      }
    }
    if (text[at] == ' ' || text[at] == '\t') {
      gap += text[at++];
      continue;
    }
    out += gap;
    gap.clear();
    out += text[at++];
    afterWord = false;
  }
  return out + gap;
}

std::optional<std::string> MimeEntity::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (SameName(key, name)) return value;
  return std::nullopt;
}

MimeEntity ReadEntity(std::string_view text) {
  MimeEntity entity;
  std::size_t end = text.find("\r\n\r\n");
  const std::string_view head =
      text.substr(0, end == std::string_view::npos ? text.size() : end + 2);
  entity.body = end == std::string_view::npos ? "" : std::string(text.substr(end + 4));
  for (const std::string& line : Lines(head)) {
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !entity.headers.empty()) {
      entity.headers.back().second += line;  // unfolding drops only the line break
      continue;
    }
    const std::size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    entity.headers.emplace_back(line.substr(0, colon), value);
  }
  return entity;
}

std::vector<MimeEntity> ReadParts(std::string_view body, std::string_view boundary) {
  const std::string delimiter = "--" + std::string(boundary);
  std::vector<MimeEntity> parts;
  std::size_t at = body.find(delimiter + "\r\n");
  while (at != std::string_view::npos &&
         body.substr(at, delimiter.size() + 2) != delimiter + "--") {
    const std::size_t start = at + delimiter.size() + 2;
    const std::size_t next = body.find("\r\n" + delimiter, start);
    if (next == std::string_view::npos) break;
    parts.push_back(ReadEntity(body.substr(start, next - start)));
    at = next + 2;
  }
  return parts;
}

std::optional<std::string> RemoveDots(std::string_view data) {
  std::string out;
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t end = data.find("\r\n", at);
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = data.substr(at, end - at);
    if (line == ".") return end + 2 == data.size() ? std::optional(out) : std::nullopt;
    if (!line.empty() && line[0] == '.') line.remove_prefix(1);
    out += line;
    out += "\r\n";
    at = end + 2;
  }
  return std::nullopt;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

}  // namespace ostrel::delivery::testing
