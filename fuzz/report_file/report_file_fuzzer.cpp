// "bugreport.txt" is outside data: any bytes may be there. The first byte
// picks the rules, the rest is the existing file; the new report repeats
// the file's last report when it has one, so the duplicate search runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "crash/base/utf.h"
#include "crash/report/file/text_fields.h"
#include "crash/report/file/report_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  ostrel::ReportFileRules rules;
  rules.append = (data[0] & 1) == 0;
  rules.sizeLimit = (data[0] & 2) ? 64u + data[0] * 16u : 100000u;
  rules.exceptionDuplicateLevel = (data[0] >> 2) & 3;
  rules.freezeDuplicateLevel = (data[0] >> 4) & 3;
  const std::string existing(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t last = existing.rfind("date/time");
  std::u16string report = last == std::string::npos
                              ? std::u16string(u"date/time : now\r\ncallstack crc : x")
                              : ostrel::Utf8ToUtf16(existing.substr(last));
  const ostrel::ComposedReportFile f = ostrel::ComposeReportFile(existing, report, rules);
  // What the file held stays, except a replaced report and dropped ones: the
  // new content is never shorter than the new report, and ends with it.
  const std::string tail = ostrel::Utf16ToUtf8(f.report) + "\r\n\r\n";
  if (f.bytes.size() < tail.size() ||
      f.bytes.compare(f.bytes.size() - tail.size(), tail.size(), tail))
    std::abort();
  if (!rules.append && f.bytes != tail) std::abort();
  (void)ostrel::ReportSection(report, u"main thread");
  return 0;
}
