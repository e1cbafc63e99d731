#include <cstring>
#include <exception>

#include "crash/report/disasm/decoder.h"
#include "crash/report/stack/stack_tables.h"
#include "crash/report/symbols/demangle.h"
#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/lookup.h"
#include "crash/base/short_text.h"
#include "crash/base/hex.h"

namespace ostrel {
namespace {

bool RangeReadable(const IMemoryReader& reader, const TDATryRead* snapshot, std::uint32_t bottom,
                   std::uint32_t top) {
  if (top <= bottom || top - bottom < 4) return false;
  std::uint32_t word = 0;
  return GuardedRead(reader, bottom, &word, 4, snapshot) &&
         GuardedRead(reader, top - 4, &word, 4, snapshot);
}

}  // namespace

TStackWalker::TStackWalker(const IMemoryReader& reader, IStackEnvironment& environment)
    : tables_(std::make_unique<TStackTables>(reader, environment)) {}

TStackWalker::~TStackWalker() = default;

TWalkResult TStackWalker::Walk(const TWalkRequest& request, const TDATryRead* snapshot) {
  std::lock_guard<std::mutex> hold(lock_);
  TWalkResult result;
  const IMemoryReader& reader = tables_->Reader();
  if (!RangeReadable(reader, snapshot, request.stackBottom, request.stackTop)) return result;
  tables_->SetSnapshot(snapshot);
  TWalkState walk{
      *tables_, request, {}, {}, 0, request.stackTop, request.stackBottom, request.currentAddress};
  struct Step {
    const char16_t* name;
    void (*run)(TWalkState&, TWalkResult&);
  };
  static constexpr Step kSteps[] = {
      {u"CollectPossibleStackItems",
       [](TWalkState& w, TWalkResult&) { CollectPossibleStackItems(w); }},
      {u"RemoveRecursiveStackAreas",
       [](TWalkState& w, TWalkResult&) {
         RemoveRecursiveAreas(w, true);
         w.Progress(25);
       }},
      {u"InDeepChecks", [](TWalkState& w, TWalkResult&) { InDeepChecks(w); }},
      {u"RealizeOptimalLinkChains",
       [](TWalkState& w, TWalkResult&) { RealizeOptimalLinkChains(w); }},
      {u"RemoveRecursiveAreas",
       [](TWalkState& w, TWalkResult&) {
         RemoveRecursiveAreas(w, false);
         w.Progress(1000);
       }},
      {u"FillFinalOutput", [](TWalkState& w, TWalkResult& r) { FillFinalOutput(w, r); }},
      {u"ComposeResult", [](TWalkState& w, TWalkResult& r) { ComposeResult(w, r); }},
  };
  for (const Step& step : kSteps) {
    if (walk.Cancelled()) {
      tables_->SetSnapshot(nullptr);
      return TWalkResult{};
    }
    try {
      step.run(walk, result);
    } catch (const std::exception&) {
      const std::u16string name = step.name;
      result = TWalkResult{};
      if (request.output) request.output->clear();
      result.text = InternalErrorText(name);
      if (request.isException) {
        std::u16string location;
        const int module = tables_->ModuleAt(request.currentAddress);
        if (module >= 0) {
          const TStackModule& m = tables_->Module(module);
          location = FormatLocation(request.currentAddress, m.symbols.get(), m.fileName,
                                    request.showRelativeAddresses, request.showRelativeLines);
        } else {
          location = FormatLocation(request.currentAddress, nullptr, {},
                                    request.showRelativeAddresses, request.showRelativeLines);
        }
        result.text += u"\r\n>> original exception location: \r\n" + location;
      }
      break;
    }
  }
  if (walk.Cancelled()) result = TWalkResult{};
  tables_->SetSnapshot(nullptr);
  return result;
}

std::u16string FormatLocation(std::uint32_t address, const TMapFile* symbols,
                              const std::u16string& moduleFileName, bool showRelativeAddress,
                              bool showRelativeLine) {
  std::u16string out = HexText16(address, 8);
  TAddressInfo info;
  if (symbols && symbols->valid) info = DescribeInSymbols(*symbols, address);
  if (!info.found) {
    if (showRelativeAddress) out += u" +0";
    return out + u" ???";
  }
  if (showRelativeAddress) {
    out += u" +";
    out += HexText16(info.functionStart != 0 && info.functionStart <= address
                         ? address - info.functionStart
                         : 0);
  }
  out += u" " + moduleFileName + u" " + info.unit + u" ";
  if (info.line > 0) {
    out += text::Decimal(static_cast<std::uint32_t>(info.line)) + u" ";
    if (showRelativeLine) {
      std::int32_t startLine = 0;
      if (info.functionStart != 0) startLine = LineAt(*symbols, info.functionStart).line;
      if (startLine < 0) startLine = 0;
      const std::int32_t relative = info.line - startLine;
      if (relative >= 0) out += u"+";
      out += text::SignedDecimal(relative);
      out += u" ";
    }
  }
  return out + DemangleName(info.functionName).name;
}

std::u16string InternalErrorText(const std::u16string& name, const std::u16string& location) {
  std::u16string out = u">> internal error in " + name;
  if (!location.empty()) out += u":\r\n" + location;
  return out;
}

std::uint32_t CallInstructionBefore(const IMemoryReader& reader, std::uint32_t returnAddress) {
  for (std::uint32_t length : {5u, 6u, 2u, 3u, 7u, 4u}) {
    if (returnAddress < length) continue;
    const TInstruction in = DecodeInstruction(reader, returnAddress - length, nullptr, nullptr);
    if (in.valid && in.isCall && in.next == returnAddress) return returnAddress - length;
  }
  return 0;
}

}  // namespace ostrel
