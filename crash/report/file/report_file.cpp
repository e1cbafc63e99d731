#include "crash/report/file/report_file.h"

#include "crash/base/utf.h"
#include "crash/report/file/text_fields.h"

namespace ostrel {
namespace {

constexpr std::string_view kReportStart = "\r\ndate/time";

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    std::size_t extra;
    if (c < 0x80) {
      extra = 0;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (bytes.size() - i - 1 < extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// The report around position hit: from after the last report start before
// it (or the file's start, when the file begins with one) to the next report
// start after it (or the end). False when no report start comes before it.
bool ReportAround(std::string_view image, std::size_t hit, std::size_t& begin, std::size_t& end) {
  const std::size_t before = hit == 0 ? std::string_view::npos : image.rfind(kReportStart, hit - 1);
  if (before != std::string_view::npos) {
    begin = before + 2;
  } else if (image.substr(0, kReportStart.size() - 2) == kReportStart.substr(2)) {
    begin = 0;
  } else {
    return false;
  }
  const std::size_t after = image.find(kReportStart, hit);
  end = after == std::string_view::npos ? image.size() : after + 2;
  return true;
}

bool SameProgram(std::u16string_view old, std::u16string_view now) {
  for (std::u16string_view field :
       {u"executable", u"current module", u"exception class", u"version"}) {
    if (!SameHeaderField(old, now, field)) return false;
  }
  if (HeaderField(old, u"version").empty()) {
    return SameHeaderField(old, now, u"exec. date/time") &&
           SameHeaderField(old, now, u"module date/time");
  }
  return true;
}

int CountOf(std::u16string_view report) {
  const std::u16string text = HeaderField(report, u"count");
  if (text.empty()) return 1;
  long long value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 1;
    value = value * 10 + (c - u'0');
    if (value > 1000000000) return 1000000000;
  }
  return static_cast<int>(value);
}

}  // namespace

std::u16string DuplicateKey(std::u16string_view report, const ReportFileRules& rules) {
  const std::u16string crc = HeaderField(report, u"callstack crc");
  if (crc.size() != 31) return {};
  const bool freeze = HeaderField(report, u"exception class").empty();
  if (freeze ? !rules.freezeDuplicates : !rules.exceptionDuplicates) return {};
  const int level = freeze ? rules.freezeDuplicateLevel : rules.exceptionDuplicateLevel;
  return crc.substr(0, level <= 0 ? 9 : level == 1 ? 20 : 31);
}

ComposedReportFile ComposeReportFile(std::string_view existing, std::u16string report,
                                     const ReportFileRules& rules) {
  ComposedReportFile out;
  std::string image;
  if (rules.append && !existing.empty()) {
    image.assign(existing);
    out.oldFileReadable = IsUtf8(existing);
    const std::u16string key = out.oldFileReadable ? DuplicateKey(report, rules) : u"";
    if (!key.empty()) {
      const std::string needle = ": " + Utf16ToUtf8(key);
      std::size_t from = image.size();
      while (from > 0) {
        const std::size_t hit = image.rfind(needle, from - 1);
        if (hit == std::string::npos) break;
        std::size_t begin = 0, end = 0;
        if (ReportAround(image, hit, begin, end)) {
          const std::u16string old =
              Utf8ToUtf16(std::string_view(image).substr(begin, end - begin));
          if (SameProgram(old, report)) {
            out.count = CountOf(old) + 1;
            InsertHeaderField(report, u"count", u"callstack crc",
                              Utf8ToUtf16(std::to_string(out.count)));
            image.erase(begin, end - begin);
            break;
          }
        }
        from = hit;
      }
    }
    // Measured before anything was removed, as the limit is about the file.
    if (rules.sizeLimit != 0 && rules.sizeLimit < existing.size()) {
      const std::size_t keep = rules.sizeLimit - rules.sizeLimit / 4;
      for (std::size_t at = image.find(kReportStart, 1); at != std::string::npos;
           at = image.find(kReportStart, at + 1)) {
        if (image.size() - at < keep) {
          image.erase(0, at + 2);
          break;
        }
      }
    }
  }
  out.report = std::move(report);
  out.bytes = std::move(image);
  out.bytes += Utf16ToUtf8(out.report);
  out.bytes += "\r\n\r\n";
  return out;
}

}  // namespace ostrel
