#include "crash/report/symbols/map_parser.h"

#include <string>
#include <string_view>
#include <vector>

#include "crash/base/text_case.h"
#include "crash/report/symbols/symbol_text.h"

namespace ostrel {
namespace {

enum class Section { kNone, kSegments, kDetailed, kPublics, kLines };

struct ImageSegment {
  bool code = true;
  std::uint32_t start = 0;  // relative to the first segment of its kind
};

bool HexDigit(char c, std::uint32_t& v) {
  if (c >= '0' && c <= '9') return v = static_cast<std::uint32_t>(c - '0'), true;
  if (c >= 'a' && c <= 'f') return v = static_cast<std::uint32_t>(c - 'a' + 10), true;
  if (c >= 'A' && c <= 'F') return v = static_cast<std::uint32_t>(c - 'A' + 10), true;
  return false;
}

bool Hex(std::string_view text, std::size_t pos, std::size_t digits, std::uint32_t& out) {
  if (pos + digits > text.size()) return false;
  out = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    std::uint32_t d = 0;
    if (!HexDigit(text[pos + i], d)) return false;
    out = out << 4 | d;
  }
  return true;
}

// "ssss:oooooooo" at pos.
bool Address(std::string_view text, std::size_t pos, std::uint32_t& segment,
             std::uint32_t& offset) {
  return pos + 13 <= text.size() && text[pos + 4] == ':' && Hex(text, pos, 4, segment) &&
         Hex(text, pos + 5, 8, offset);
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool IsSegmentHeading(std::string_view line) {
  // "Start  Length  Name  Class", however wide the columns.
  const std::string_view words[] = {"Start", "Length", "Name", "Class"};
  std::size_t pos = 0;
  for (std::string_view w : words) {
    line = TrimLeft(line.substr(pos));
    if (line.substr(0, w.size()) != w) return false;
    pos = w.size();
  }
  return TrimRight(line.substr(pos)).empty();
}

class MapParser {
 public:
  explicit MapParser(TMapFile& symbols) : m_(symbols) {}

  void Line(std::string_view raw) {
    const std::string_view line = TrimLeft(TrimRight(raw));
    if (line.empty()) return;
    if (IsSegmentHeading(line)) return Enter(Section::kSegments);
    if (line.starts_with("Detailed map of segments")) return Enter(Section::kDetailed);
    if (line.find("Publics by Value") != std::string_view::npos) return Enter(Section::kPublics);
    if (line.find("Publics by Name") != std::string_view::npos) return Enter(Section::kNone);
    if (line.starts_with("Line numbers for ")) {
      Enter(Section::kLines);
      blockLine_ = 0;
      return;
    }
    if (line.starts_with("Program entry point at ")) {
      std::uint32_t seg = 0, offset = 0;
      const std::string_view rest = TrimLeft(line.substr(23));
      if (Address(rest, 0, seg, offset)) m_.entryPoint = m_.codeBase + offset;
      return;
    }
    switch (section_) {
      case Section::kSegments:
        return SegmentLine(line);
      case Section::kDetailed:
        return DetailedLine(line);
      case Section::kPublics:
        return PublicLine(line);
      case Section::kLines:
        return LineNumbers(line);
      case Section::kNone:
        return;
    }
  }

  void Finish() {
    m_.TidySegments(true);
    m_.SortPublics();
  }

 private:
  void Enter(Section s) {
    if (section_ == Section::kDetailed && s != Section::kDetailed) m_.TidySegments(true);
    section_ = s;
  }

  const ImageSegment* Segment(std::uint32_t number) const {
    if (number == 0 || number > segments_.size()) return nullptr;
    return &segments_[number - 1];
  }

  void SegmentLine(std::string_view line) {
    std::uint32_t seg = 0, start = 0, length = 0;
    if (line.size() < 23 || !Address(line, 0, seg, start) || line[13] != ' ' ||
        !Hex(line, 14, 8, length) || line[22] != 'H')
      return;
    const std::string_view name = line.size() > 24 ? line.substr(24, 23) : std::string_view();
    if (ContainsNoCase(name, "data")) dataSeen_ = true;
    ImageSegment s;
    s.code = !dataSeen_;
    std::uint32_t& first = s.code ? firstCode_ : firstData_;
    bool& haveFirst = s.code ? haveFirstCode_ : haveFirstData_;
    if (!haveFirst) first = start, haveFirst = true;
    s.start = start - first;
    segments_.push_back(s);
  }

  void DetailedLine(std::string_view line) {
    std::uint32_t seg = 0, offset = 0, length = 0;
    if (line.size() <= 72 || !Address(line, 0, seg, offset) || line[13] != ' ' ||
        !Hex(line, 14, 8, length) || line[22] != ' ' || line.substr(23, 2) != "C=")
      return;
    const ImageSegment* s = Segment(seg);
    if (s == nullptr) return;
    std::string_view head = TrimRight(line);
    const auto lastSpace = head.find_last_of(" \t");
    if (lastSpace == std::string_view::npos) return;
    head = TrimRight(head.substr(0, lastSpace));
    const auto mark = head.find_last_of("=\\|");
    const std::string_view unit =
        TrimLeft(mark == std::string_view::npos ? head : head.substr(mark + 1));
    m_.AddSegment(s->code, true, false, true, Utf8ToUtf16(unit), length, s->start + offset);
  }

  void PublicLine(std::string_view line) {
    std::uint32_t seg = 0, offset = 0;
    if (line.size() <= 13 || !Address(line, 0, seg, offset)) return;
    const ImageSegment* s = Segment(seg);
    if (s == nullptr) return;
    std::string_view rest = TrimRight(line.substr(13));
    if (!rest.empty() && rest.back() == ')') {
      const auto open = rest.rfind('(');
      if (open != std::string_view::npos) rest = TrimRight(rest.substr(0, open));
    }
    const auto lastSpace = rest.find_last_of(" \t");
    const std::string_view name =
        lastSpace == std::string_view::npos ? rest : rest.substr(lastSpace + 1);
    if (name.empty()) return;
    m_.AddPublic(s->code, Utf8ToUtf16(name), false, s->start + offset);
  }

  void LineNumbers(std::string_view line) {
    ++blockLine_;
    std::size_t pos = 0;
    while (pos < line.size()) {
      while (pos < line.size() && line[pos] == ' ') ++pos;
      std::int64_t number = 0;
      std::size_t digits = 0;
      while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && digits < 10) {
        number = number * 10 + (line[pos++] - '0');
        ++digits;
      }
      if (digits == 0 || pos >= line.size() || line[pos] != ' ') return;
      while (pos < line.size() && line[pos] == ' ') ++pos;
      std::uint32_t seg = 0, offset = 0;
      if (!Address(line, pos, seg, offset)) return;
      pos += 13;
      const ImageSegment* s = Segment(seg);
      if (s == nullptr || !s->code) continue;
      m_.AppendLineRecord(static_cast<std::int32_t>(number), m_.codeBase + s->start + offset,
                          blockLine_ >= 2);
    }
  }

  TMapFile& m_;
  Section section_ = Section::kNone;
  std::vector<ImageSegment> segments_;
  bool dataSeen_ = false;
  bool haveFirstCode_ = false, haveFirstData_ = false;
  std::uint32_t firstCode_ = 0, firstData_ = 0;
  int blockLine_ = 0;
};

}  // namespace

void ParseMapFile(TMapFile& symbols, std::span<const std::uint8_t> text) {
  MapParser parser(symbols);
  const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
  std::size_t pos = 0;
  while (pos <= all.size()) {
    auto end = all.find('\n', pos);
    if (end == std::string_view::npos) end = all.size();
    parser.Line(all.substr(pos, end - pos));
    pos = end + 1;
  }
  parser.Finish();
}

}  // namespace ostrel
