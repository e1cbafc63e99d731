#include "crash/report/disasm/listing.h"

#include <algorithm>

#include "crash/report/disasm/instruction_text.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

const char kSeparator[] = "; ---------------------------------------------------------";

struct TLine {
  std::uint32_t address = 0;
  std::string text;  // instruction lines start with the address; others get it added
  bool instruction = false;
};

std::string Pad(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

class TListing {
 public:
  TListing(const IMemoryReader& reader, const TDisasmSymbols* symbols, const TRuntimeHelpers& h,
           const TFunctionInfo& info, bool delimiters)
      : reader_(reader), symbols_(symbols), helpers_(h), info_(info), delimiters_(delimiters) {
    std::string name = NameOfFunction(symbols, info.entryPoint);
    title_ = name.empty() ? "sub_" + HexText(info.entryPoint, 8) : "public " + name;
  }

  bool Build();
  std::vector<TLine> lines;

 private:
  std::string LabelOf(std::uint32_t a) const {
    if (a == info_.entryPoint) {
      std::string name = NameOfFunction(symbols_, a);
      return name.empty() ? "sub_" + HexText(a, 8) : name;
    }
    return "loc_" + HexText(a, 8);
  }
  bool IsAreaStart(std::uint32_t a) const {
    return std::any_of(info_.areas.begin(), info_.areas.end(),
                       [&](const TCodeArea& x) { return x.start == a; });
  }
  void Add(std::uint32_t a, std::string text, bool instruction = false) {
    lines.push_back({a, std::move(text), instruction});
  }
  bool LastIsInstruction() const { return !lines.empty() && lines.back().instruction; }
  void Code(const TCodeArea& area, bool lastArea);

  const IMemoryReader& reader_;
  const TDisasmSymbols* symbols_;
  const TRuntimeHelpers& helpers_;
  const TFunctionInfo& info_;
  bool delimiters_;
  std::string title_;
};

void TListing::Code(const TCodeArea& area, bool lastArea) {
  TRegisterState regs = area.regs;
  for (std::uint32_t a = area.start; a < area.end;) {
    std::string text;
    TInstructionText parts;
    TInstruction in = DecodeInstructionText(reader_, a, &regs, symbols_, text, &parts);
    if (in.valid) {
      for (std::size_t i = 0; i < parts.operands.size(); ++i) {
        std::uint32_t t = parts.operandTarget[i];
        if (t && IsAreaStart(t)) parts.operands[i] = LabelOf(t);
      }
      text = ComposeLine(parts);
    }
    Add(a, text, true);
    std::uint32_t next = in.valid ? in.next : a + 1;
    bool last = lastArea && next >= area.end;
    if (delimiters_ && in.valid && !last) {
      bool isReturn = in.opcode == 0xC2 || in.opcode == 0xC3 || in.opcode == 0xCA ||
                      in.opcode == 0xCB || in.opcode == 0xCF;
      bool unconditional =
          in.opcode == 0xE9 || in.opcode == 0xEA || in.opcode == 0xEB ||
          (in.opcode == 0xFF && ((in.modrm >> 3) & 7) >= 4 && ((in.modrm >> 3) & 7) <= 5);
      bool toHelper = in.target && (in.target == helpers_.handleFinally ||
                                    in.target == helpers_.handleOnException ||
                                    in.target == helpers_.handleAnyException);
      if (in.isCall || in.isJump || isReturn) Add(a, "");
      if ((isReturn || unconditional) && !toHelper) {
        Add(a, kSeparator);
        Add(a, "");
      }
    }
    a = next;
  }
}

bool TListing::Build() {
  const auto& areas = info_.areas;
  for (std::size_t i = 0; i < areas.size(); ++i) {
    const TCodeArea& area = areas[i];
    if (i && area.start < areas[i - 1].start) return false;
    bool lastArea = i + 1 == areas.size();
    if (area.caseJumpTable || area.exceptionHandlerTable) {
      if (delimiters_ && LastIsInstruction()) {
        Add(area.start, "");
        Add(area.start, kSeparator);
        Add(area.start, "");
      }
    }
    if (area.caseJumpTable) {
      for (std::uint32_t a = area.start; a + 4 <= area.end; a += 4) {
        std::uint32_t entry = 0;
        reader_.Read(a, &entry, 4);
        std::string line = "  dd " + LabelOf(entry);
        if (a == area.start) line = Pad(line, 31) + "  ; case jump table";
        Add(a, line);
      }
      continue;
    }
    if (area.exceptionHandlerTable) {
      std::uint32_t count = 0;
      reader_.Read(area.start, &count, 4);
      std::vector<std::pair<std::string, std::uint32_t>> entries;
      std::size_t width = 4;
      for (std::uint32_t k = 0; k < count && k < 256; ++k) {
        std::uint32_t cls = 0, handler = 0;
        reader_.Read(area.start + 4 + k * 8, &cls, 4);
        reader_.Read(area.start + 8 + k * 8, &handler, 4);
        std::string name;
        if (cls) {
          if (symbols_ && symbols_->classNameAt) name = symbols_->classNameAt(cls);
          if (name.empty()) name = "EUnknown";
        }
        width = std::max(width, name.size() + 3);
        entries.push_back({name, handler});
      }
      for (std::uint32_t k = 0; k < entries.size(); ++k) {
        const auto& [name, handler] = entries[k];
        std::string line =
            name.empty() ? "  " + Pad("else", width + 3) : "  on " + Pad(name, width - 3) + " do";
        Add(area.start + 4 + k * 8, line + " " + LabelOf(handler));
      }
      continue;
    }
    if (area.start == info_.entryPoint || (delimiters_ && area.ledBy)) {
      if (delimiters_ && LastIsInstruction()) Add(area.start, "");
      std::string label = (area.start == info_.entryPoint ? title_ : LabelOf(area.start)) + ":";
      if (area.start == info_.entryPoint) label = Pad(label, 31) + "  ; function entry point";
      Add(area.start, label);
    }
    Code(area, lastArea);
  }
  return true;
}

int Digits(int v) {
  int n = 0;
  while (v > 0) {
    ++n;
    v /= 10;
  }
  return n;
}

}  // namespace

std::string DisassembleFunction(const IMemoryReader& reader, std::uint32_t entryPoint,
                                std::uint32_t exceptionAddress, const TListingOptions& options,
                                const TDisasmSymbols* symbols, const TRuntimeHelpers& helpers,
                                TFunctionInfo& info) {
  info = ParseFunction(reader, entryPoint, nullptr, helpers, symbols);
  if (!info.valid) return {};
  TListing listing(reader, symbols, helpers, info, options.formatDelimiters);
  if (!listing.Build())
    return "Internal error in ParseFunction while composing the disassembling string...  :-(";
  std::vector<TLine>& all = listing.lines;

  // Label, table and delimiter lines carry their address; mark the exception line.
  std::size_t exceptionLine = all.size();
  for (std::size_t i = 0; i < all.size(); ++i) {
    TLine& l = all[i];
    if (!l.instruction)
      l.text = l.text.empty() ? HexText(l.address, 8) : HexText(l.address, 8) + " " + l.text;
    if (l.instruction && l.address == exceptionAddress && l.text.size() > 9) l.text[9] = '>';
    if (exceptionLine == all.size() && l.address >= exceptionAddress && exceptionAddress)
      exceptionLine = i;
  }

  // Line limit around the exception line.
  std::vector<const TLine*> shown;
  bool cutBefore = false, cutAfter = false;
  int n = options.lineLimit;
  std::size_t first = 0, last = all.size();
  if (n > 0 && exceptionLine < all.size()) {
    std::size_t number = exceptionLine + 1;
    if (number > std::size_t(n) * 12 / 10) {
      first = exceptionLine - std::size_t(n);
      cutBefore = true;
    }
    if (exceptionLine + 1 + std::size_t(n) < all.size()) {
      last = exceptionLine + 1 + std::size_t(n);
      cutAfter = true;
    }
  }
  for (std::size_t i = first; i < last; ++i) shown.push_back(&all[i]);

  // Line-number column.
  int width = 0;
  if (symbols && symbols->lineRangeAt) {
    int line = 0;
    std::uint32_t s = 0, e = 0;
    symbols->lineRangeAt(info.codeBegin + info.codeLength - 1, line, s, e);
    int value = line;
    if (value == 0 && exceptionAddress) {
      symbols->lineRangeAt(exceptionAddress, line, s, e);
      value = line * 10;
    }
    width = Digits(value);
  }
  std::string out;
  if (cutBefore) out += "[...]\r\n";
  int previous = -1;
  for (const TLine* l : shown) {
    std::string text = l->text;
    if (width) {
      int line = 0;
      std::uint32_t s = 0, e = 0;
      symbols->lineRangeAt(l->address, line, s, e);
      std::string number = std::to_string(line);
      if (int(number.size()) < width) number = std::string(width - number.size(), '0') + number;
      if (text.size() > 9) {
        text.insert(9, line != previous ? number + " " : std::string(width + 1, ' '));
      } else if (line != previous) {
        text += " " + number;
      }
      previous = line;
    }
    out += text + "\r\n";
  }
  if (cutAfter) out += "[...]\r\n";
  if (out.size() >= 2) out.resize(out.size() - 2);
  return out;
}

}  // namespace ostrel
