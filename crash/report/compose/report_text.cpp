#include "crash/report/compose/report_text.h"

#include <algorithm>

#include "crash/report/disasm/memory_reader.h"
#include "crash/base/short_text.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

void CollapseBlanks(std::u16string& text) {
  for (std::size_t at; (at = text.find(u"  ")) != std::u16string::npos;) text.erase(at, 1);
}

std::u16string OneLine(std::u16string text) {
  for (std::size_t at; (at = text.find(u"\r\n")) != std::u16string::npos;)
    text.replace(at, 2, u" ");
  std::replace(text.begin(), text.end(), u'\r', u' ');
  std::replace(text.begin(), text.end(), u'\n', u' ');
  CollapseBlanks(text);
  return text;
}

}  // namespace

std::u16string Dollar8(std::uint32_t value) { return u"$" + HexText16(value, 8); }

std::u16string JoinReportText(const TReportFields& header, const TReportFields& sections) {
  std::u16string text;
  std::size_t width = 0;
  for (std::int32_t i = 0; i < header.FieldCount(); ++i) {
    width = std::max(width, header.FieldName(i).size());
  }
  for (std::int32_t i = 0; i < header.FieldCount(); ++i) {
    const std::u16string name = header.FieldName(i);
    if (i > 0) text += u"\r\n";
    text += name;
    text.append(width + 1 - name.size(), u' ');
    text += u": " + OneLine(header.FieldContents(name));
  }
  for (std::int32_t i = 0; i < sections.FieldCount(); ++i) {
    const std::u16string title = sections.FieldName(i);
    text += u"\r\n\r\n" + title;
    if (title.find(u':') == std::u16string::npos) text += u":";
    const std::u16string contents = sections.FieldContents(title);
    std::size_t start = 0;
    while (start <= contents.size()) {
      std::size_t end = contents.find_first_of(u"\r\n", start);
      if (end == std::u16string::npos) end = contents.size();
      std::u16string line = contents.substr(start, end - start);
      while (!line.empty() && line.back() <= 32) line.pop_back();
      text += u"\r\n" + (line.empty() ? u"." : line);
      if (end == contents.size()) break;
      start = end + (contents.compare(end, 2, u"\r\n") == 0 ? 2 : 1);
    }
  }
  return text;
}

std::u16string CpuRegistersText(const CpuRegisters& r) {
  const std::pair<const char16_t*, std::uint32_t> all[] = {
      {u"eax", r.eax}, {u"ebx", r.ebx}, {u"ecx", r.ecx}, {u"edx", r.edx}, {u"esi", r.esi},
      {u"edi", r.edi}, {u"eip", r.eip}, {u"esp", r.esp}, {u"ebp", r.ebp}};
  std::u16string text;
  for (const auto& [name, value] : all) {
    if (!text.empty()) text += u"\r\n";
    text += std::u16string(name) + u" = " + HexText16(value, 8);
  }
  return text;
}

std::u16string StackDumpText(const IMemoryReader& memory, std::uint32_t sp,
                             std::uint32_t regionEnd) {
  std::u16string text;
  for (int line = 0; line < 20; ++line) {
    const std::uint64_t at = static_cast<std::uint64_t>(sp) + static_cast<std::uint64_t>(line) * 16;
    if (regionEnd != 0 && at >= regionEnd) break;
    if (at > 0xFFFFFFF0ull) break;
    const auto address = static_cast<std::uint32_t>(at);
    std::uint8_t bytes[16] = {};
    int readable = 16;
    if (regionEnd != 0 && regionEnd - address < 16)
      readable = static_cast<int>(regionEnd - address);
    if (!memory.Read(address, bytes, static_cast<std::uint32_t>(readable))) break;
    if (!text.empty()) text += u"\r\n";
    text += HexText16(address, 8) + u"  ";
    std::u16string chars;
    for (int i = 0; i < 16; ++i) {
      if (i == 8) text += readable > 8 ? u"- " : u"  ";
      if (i < readable) {
        text += HexText16(bytes[i], 2) + u" ";
        chars += bytes[i] >= 32 && bytes[i] <= 126 ? static_cast<char16_t>(bytes[i]) : u'.';
      } else {
        text += u"   ";
      }
    }
    text += u" " + chars;
  }
  return text;
}

std::u16string ExceptionMessageField(const std::u16string& className,
                                     const std::u16string& message) {
  if (message == className) return {};
  std::u16string text = message;
  while (!text.empty() && (text.back() == u'.' || text.back() == u'!')) text.pop_back();
  text += u".";
  std::replace(text.begin(), text.end(), u'\r', u' ');
  std::replace(text.begin(), text.end(), u'\n', u' ');
  CollapseBlanks(text);
  return text;
}

}  // namespace ostrel
