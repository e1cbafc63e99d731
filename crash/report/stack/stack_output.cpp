// Naming the surviving items, laying them out in columns, and the two
// checksums that recognise a repeated report.
#include <algorithm>

#include "crash/report/stack/stack_tables.h"
#include "crash/report/symbols/demangle.h"
#include "crash/report/symbols/lookup.h"
#include "crash/base/short_text.h"
#include "crash/base/crc32.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

bool SameText(const std::u16string& a, const std::u16string& b) {
  return ChecksumLowerCase(a) == ChecksumLowerCase(b);
}

std::uint32_t Crc(std::uint32_t crc, const std::u16string& text) {
  const std::u16string lower = ChecksumLowerCase(text);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(lower.size() * 2);
  for (char16_t c : lower) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return Crc32Update(crc, bytes.data(), bytes.size());
}

std::u16string Pad(std::u16string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), u' ');
  return text;
}

std::u16string PadLeft(const std::u16string& text, std::size_t width) {
  return text.size() < width ? std::u16string(width - text.size(), u' ') + text : text;
}

bool HasLine(const TInternalStackItem& item) { return item.line > 0 || item.secondLine > 0; }

// The text of the relative-line column of an item.
std::u16string LineColumn(const TInternalStackItem& item, bool showRelativeLines) {
  if (!HasLine(item)) return {};
  const bool relative = showRelativeLines && item.secondLine > 0;
  // A call above the function's first line (code moved there by the
  // compiler) shows its minus sign instead of the plus.
  std::u16string out = relative && item.line >= 0 ? u"+" : u"";
  out += text::SignedDecimal(item.line);
  return out;
}

}  // namespace

std::u16string ChecksumLowerCase(std::u16string text) {
  for (char16_t& c : text) {
    if ((c >= u'A' && c <= u'Z') || c == 0xC4 || c == 0xD6 || c == 0xDC)
      c = static_cast<char16_t>(c + 32);
  }
  return text;
}

void FillFinalOutput(TWalkState& walk, TWalkResult& result) {
  TStackTables& tables = walk.tables;
  bool innermost = true;
  for (int i = static_cast<int>(walk.items.size()) - 1; i >= 0; --i) {
    TInternalStackItem& item = walk.items[static_cast<std::size_t>(i)];
    if (item.deleted) continue;
    bool named = false;
    for (const TLink& l : item.lists[1].links) {
      if (l.function >= 0 && tables.Function(l.function).approved &&
          !tables.Function(l.function).invalid) {
        const TStackFunction& f = tables.Function(l.function);
        item.shownAddress = l.callAddress;
        const TDemangled d = DemangleName(f.name);
        item.functionName = d.name;
        item.unitName = d.unit;
        item.functionStart = f.info.entryPoint;
        named = true;
        break;
      }
    }
    if (!named) {
      const TLink* withCall = nullptr;
      for (const TLink& l : item.lists[1].links) {
        if (l.callAddress != 0) {
          withCall = &l;
          break;
        }
      }
      const TStackLinks& downs = item.lists[0];
      if (withCall) {
        item.shownAddress = withCall->callAddress;
      } else if (downs.chosen >= 0 && static_cast<std::size_t>(downs.chosen) < downs.links.size() &&
                 downs.links[static_cast<std::size_t>(downs.chosen)].callAddress != 0) {
        item.shownAddress = downs.links[static_cast<std::size_t>(downs.chosen)].callAddress;
      } else {
        item.shownAddress = item.address;
      }
    }
    const int module = item.module >= 0 ? item.module : tables.ModuleAt(item.shownAddress);
    item.moduleName = module >= 0 && !tables.Module(module).fileName.empty()
                          ? tables.Module(module).fileName
                          : u"???";
    const std::shared_ptr<const TMapFile> symbols =
        module >= 0 ? tables.Module(module).symbols : nullptr;
    if (symbols) {
      if (item.functionName.empty()) {
        const TMfPublic pub = PublicAt(*symbols, item.shownAddress);
        if (pub.valid) {
          const TDemangled d = DemangleName(pub.name);
          item.functionName = d.name;
          item.unitName = d.unit;
          item.functionStart = pub.address;
        }
      }
      const TMfSegment segment = SegmentAt(*symbols, true, item.shownAddress);
      if (segment.valid && !segment.unit.empty()) item.unitName = segment.unit;
      const std::int32_t line = LineAt(*symbols, item.shownAddress).line;
      if (line > 0) {
        item.line = line;
        if (walk.request.showRelativeLines && item.functionStart != 0) {
          const std::int32_t startLine = LineAt(*symbols, item.functionStart).line;
          if (startLine > 0) {
            item.line = line - startLine;
            item.secondLine = line;
          }
        }
      }
      if (walk.request.minimalDebugInfo && !symbols->stamp.empty()) {
        const std::u16string entry =
            item.moduleName + u"|" + std::u16string(symbols->stamp.begin(), symbols->stamp.end());
        auto& list = *walk.request.minimalDebugInfo;
        if (std::none_of(list.begin(), list.end(),
                         [&](const std::u16string& e) { return SameText(e, entry); }))
          list.push_back(entry);
      }
    }
    if (item.functionName.empty() && module >= 0 &&
        item.shownAddress >= tables.Module(module).handle)
      item.offsetName = u"+0x" + HexText16(item.shownAddress - tables.Module(module).handle);
    if (innermost) {
      result.innermostAddress = item.shownAddress;
      innermost = false;
    }
  }
}

void ComposeResult(TWalkState& walk, TWalkResult& result) {
  const TWalkRequest& request = walk.request;
  const bool withCreator = request.creatorAddress != 0;
  std::vector<const TInternalStackItem*> written;
  std::uint32_t previous = 0;
  bool anyWritten = false;
  for (int i = static_cast<int>(walk.items.size()) - 1; i >= 0; --i) {
    const TInternalStackItem& item = walk.items[static_cast<std::size_t>(i)];
    if (item.deleted) continue;
    const bool creation = i == 0 && withCreator;
    // A verified return address that nothing names is still written: a
    // stack of a program without symbols is otherwise empty.
    const bool write = item.shown || creation ||
                       ((!item.functionName.empty() || item.plausible) &&
                        (HasLine(item) || !request.hideUglyItems) &&
                        !(anyWritten && item.shownAddress == previous));
    if (!write) continue;
    written.push_back(&item);
    previous = item.shownAddress;
    anyWritten = true;
  }
  std::size_t relWidth = 0, moduleWidth = 0, unitWidth = 0, lineWidth = 0, relLineWidth = 0;
  for (const TInternalStackItem* item : written) {
    if (request.showRelativeAddresses && item->functionStart != 0 &&
        item->functionStart <= item->shownAddress)
      relWidth = std::max(relWidth, HexText16(item->shownAddress - item->functionStart).size() + 2);
    moduleWidth = std::max(moduleWidth, item->moduleName.size() + 1);
    if (!item->unitName.empty()) unitWidth = std::max(unitWidth, item->unitName.size() + 1);
    if (item->secondLine > 0)
      lineWidth = std::max(lineWidth, text::Decimal(item->secondLine).size() + 1);
    if (HasLine(*item))
      relLineWidth =
          std::max(relLineWidth, LineColumn(*item, request.showRelativeLines).size() + 1);
  }
  std::u16string text;
  for (const TInternalStackItem* item : written) {
    text += u"\r\n";
    text += HexText16(item->shownAddress, 8);
    text += u" ";
    if (relWidth > 0) {
      const std::uint32_t rel =
          item->functionStart != 0 && item->functionStart <= item->shownAddress
              ? item->shownAddress - item->functionStart
              : 0;
      text += u"+";
      text += HexText16(rel, relWidth - 2);
      text += u" ";
    }
    text += Pad(item->moduleName, moduleWidth) + Pad(item->unitName, unitWidth);
    if (lineWidth > 0) {
      text += PadLeft(item->secondLine > 0 ? text::Decimal(item->secondLine) : u"", lineWidth - 1) +
              u" ";
    }
    if (relLineWidth > 0)
      text += PadLeft(LineColumn(*item, request.showRelativeLines), relLineWidth - 1) + u" ";
    text += item->functionName.empty() ? item->offsetName : item->functionName;
    // A line without a function name ends in its padding otherwise.
    while (!text.empty() && text.back() == u' ') text.pop_back();
    if (request.output) {
      TStackItem out;
      out.address = item->shownAddress;
      out.relativeAddress = item->functionStart != 0 && item->functionStart <= item->shownAddress
                                ? item->shownAddress - item->functionStart
                                : 0;
      out.module = item->moduleName;
      out.unit = item->unitName;
      out.line = item->secondLine;
      out.relativeLine = HasLine(*item) ? item->line : 0;
      out.function = item->functionName.empty() ? item->offsetName : item->functionName;
      request.output->push_back(std::move(out));
    }
  }
  if (!text.empty()) text.erase(0, 2);
  result.text = std::move(text);
  const TInternalStackItem* exceptionItem = nullptr;
  for (const TInternalStackItem* item : written) {
    if (item->functionStart != 0 && item->secondLine > 0) {
      exceptionItem = item;
      break;
    }
  }
  if (!exceptionItem) {
    for (const TInternalStackItem* item : written) {
      if (item->functionStart != 0) {
        exceptionItem = item;
        break;
      }
    }
  }
  if (exceptionItem) {
    result.exceptionFunction = exceptionItem->functionStart;
    result.exceptionFunctionAddress = exceptionItem->shownAddress;
  }
  for (const TInternalStackItem* item : written) {
    if (HasLine(*item)) result.hasLineNumbers = true;
  }
  if (!request.wantChecksums) return;
  bool first = true;
  for (const TInternalStackItem* item : written) {
    std::uint32_t v = item->shownAddress;
    if (item->functionStart != 0 && !item->moduleName.empty() && !item->functionName.empty()) {
      v = item->shownAddress - item->functionStart;
      v = Crc(v, item->moduleName);
      if (!item->unitName.empty()) v = Crc(v, item->unitName);
      v = Crc(v, item->functionName);
    }
    if (first) {
      result.checksum1 = result.checksum2 = v;
      first = false;
    } else {
      result.checksum2 = Crc32UpdateWord(result.checksum2, v);
    }
  }
}

}  // namespace ostrel
