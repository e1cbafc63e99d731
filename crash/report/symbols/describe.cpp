#include "crash/report/symbols/describe.h"

#include "crash/report/symbols/lookup.h"
#include "crash/report/symbols/symbol_text.h"

namespace ostrel {

TAddressInfo DescribeInSymbols(const TMapFile& symbols, std::uint32_t address) {
  TAddressInfo info;
  info.moduleFileName = symbols.moduleFileName;
  if (!symbols.valid) return info;
  const TMfSegment segment = SegmentAt(symbols, true, address);
  const TMfPublic pub = PublicAt(symbols, address);
  if (!segment.valid && !pub.valid) return info;
  info.unit = segment.unit;
  info.functionName = pub.name;
  info.functionStart = pub.valid ? pub.address : 0;
  const std::int32_t line = LineAt(symbols, address).line;
  info.line = line < 0 ? 0 : line;
  info.found = true;
  return info;
}

std::u16string FunctionNameInSymbols(const TMapFile& symbols, std::uint32_t address) {
  if (!symbols.valid) return {};
  const TMfPublic pub = PublicAt(symbols, address);
  if (!pub.valid || pub.address != address) return {};
  const TMfSegment segment = SegmentAt(symbols, true, address);
  std::u16string text =
      segment.valid && !segment.unit.empty() ? segment.unit.str() + u"." + pub.name : pub.name;
  if (text.find(u'%') != std::u16string::npos)
    text += u" (" + std::u16string(FileNamePart(symbols.moduleFileName)) + u")";
  return text;
}

void TLineRangeCache::Query(const TMapFile* symbols, std::uint32_t address, std::int32_t& line,
                            std::uint32_t& rangeStart, std::uint32_t& rangeEnd) {
  if (!(line_ != 0 && address >= start_ && address < end_)) {
    line_ = 0;
    start_ = address;
    end_ = address;
    if (symbols != nullptr && symbols->valid) {
      const TLineAnswer answer = LineAt(*symbols, address);
      line_ = answer.line < 0 ? 0 : answer.line;
      end_ = answer.rangeEnd;
    }
  }
  line = line_;
  rangeStart = start_;
  rangeEnd = end_;
}

}  // namespace ostrel
