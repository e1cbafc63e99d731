#include "crash/report/disasm/function_parser.h"

#include <algorithm>
#include <map>

#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/module_ranges.h"

namespace ostrel {
namespace {

constexpr int kMaxAreas = 4096;

TRegisterState Agree(const TRegisterState& a, const TRegisterState& b) {
  TRegisterState r;
  for (int i = 0; i < 8; ++i) r.reg[i] = a.reg[i] == b.reg[i] ? a.reg[i] : 0;
  return r;
}

bool EndsArea(const TInstruction& in) {
  switch (in.opcode) {
    case 0xC2:
    case 0xC3:
    case 0xCA:
    case 0xCB:
    case 0xCF:
    case 0xE9:
    case 0xEA:
    case 0xEB:
      return true;
    case 0xFF: {
      int reg = (in.modrm >> 3) & 7;
      return reg == 4 || reg == 5;
    }
    default:
      return false;
  }
}

class TParser {
 public:
  TParser(const IMemoryReader& reader, const TDATryRead* snapshot, const TRuntimeHelpers& helpers,
          const TDisasmSymbols* symbols, TFunctionInfo& info)
      : reader_(reader), snapshot_(snapshot), helpers_(helpers), symbols_(symbols), info_(info) {}

  bool Run();

 private:
  bool ParseArea(std::uint32_t start);
  void Transfer(const TInstruction& in, const TRegisterState& regs);
  void OpenArea(std::uint32_t target, std::uint32_t ledBy, const TRegisterState& regs);
  void AddBlock(std::uint32_t start, std::uint32_t end, bool caseTable);
  bool InModule(std::uint32_t a) const { return a >= lo_ && a < hi_; }
  std::uint32_t NextAreaStart(std::uint32_t after) const {
    auto it = areas_.upper_bound(after);
    return it == areas_.end() ? hi_ : it->first;
  }
  bool IsHelper(std::uint32_t t) const {
    return t && (t == helpers_.handleAnyException || t == helpers_.handleOnException ||
                 t == helpers_.handleAutoException || t == helpers_.handleFinally);
  }
  bool Ends(std::uint32_t t) const {
    if (!t) return false;
    if (t == helpers_.halt) return true;
    return std::find(helpers_.throwRoutines.begin(), helpers_.throwRoutines.end(), t) !=
           helpers_.throwRoutines.end();
  }
  bool Read32(std::uint32_t a, std::uint32_t& v) const {
    return GuardedRead(reader_, a, &v, 4, snapshot_);
  }
  void ForgetUnknown(std::uint32_t next) {
    auto& u = info_.unknownTransfers;
    u.erase(std::remove_if(u.begin(), u.end(),
                           [&](const TUnknownTransfer& t) { return t.next == next; }),
            u.end());
  }

  const IMemoryReader& reader_;
  const TDATryRead* snapshot_;
  const TRuntimeHelpers& helpers_;
  const TDisasmSymbols* symbols_;
  TFunctionInfo& info_;
  std::map<std::uint32_t, TCodeArea> areas_;
  std::uint32_t lo_ = 0, hi_ = 0;
  bool overflow_ = false;
};

void TParser::OpenArea(std::uint32_t target, std::uint32_t ledBy, const TRegisterState& regs) {
  if (!InModule(target)) return;
  auto at = areas_.find(target);
  if (at != areas_.end()) {
    TCodeArea& a = at->second;
    if (a.caseJumpTable || a.exceptionHandlerTable) return;
    if (ledBy && (!a.ledBy || (ledBy > a.ledBy && ledBy < a.start))) a.ledBy = ledBy;
    a.regs = Agree(a.regs, regs);
    return;
  }
  auto holder = areas_.upper_bound(target);
  if (holder != areas_.begin()) {
    --holder;
    TCodeArea& old = holder->second;
    if (old.end && target < old.end) {
      if (old.caseJumpTable || old.exceptionHandlerTable) return;
      // Split: the state at the target along the old path, agreed with the jump's.
      TRegisterState along = old.regs;
      for (std::uint32_t a = old.start; a < target;) {
        TInstruction in = DecodeInstruction(reader_, a, snapshot_, &along);
        if (!in.valid) break;
        a = in.next;
      }
      TCodeArea fresh;
      fresh.start = target;
      fresh.end = old.end;
      fresh.ledBy = ledBy;
      fresh.regs = Agree(along, regs);
      old.end = target;
      areas_[target] = fresh;
      return;
    }
  }
  if (areas_.size() >= kMaxAreas) {
    overflow_ = true;
    return;
  }
  TCodeArea fresh;
  fresh.start = target;
  fresh.ledBy = ledBy;
  fresh.regs = regs;
  areas_[target] = fresh;
}

void TParser::AddBlock(std::uint32_t start, std::uint32_t end, bool caseTable) {
  if (areas_.count(start)) {
    TCodeArea& a = areas_[start];
    if (a.end) return;  // already parsed as code: keep it
  }
  TCodeArea block;
  block.start = start;
  block.end = end;
  block.caseJumpTable = caseTable;
  block.exceptionHandlerTable = !caseTable;
  areas_[start] = block;
}

void TParser::Transfer(const TInstruction& in, const TRegisterState& regs) {
  if (!in.target && !in.targetPointer) {
    ForgetUnknown(in.next);
    info_.unknownTransfers.push_back({std::uint8_t(in.isCall ? 1 : 0), in.address, in.next});
    return;
  }
  ForgetUnknown(in.next);
  std::uint32_t t = in.target;
  if (t && t == helpers_.handleAnyException) OpenArea(in.next, 0, {});
  if (t && t == helpers_.handleFinally) {
    OpenArea(in.next, 0, {});
    TInstruction j = DecodeInstruction(reader_, in.next, snapshot_, nullptr);
    if (j.valid && j.isJump && j.target > info_.entryPoint && j.target < in.address) {
      std::uint8_t push = 0;
      std::uint32_t pushed = 0;
      if (GuardedRead(reader_, j.target - 5, &push, 1, snapshot_) && push == 0x68 &&
          Read32(j.target - 4, pushed) && pushed > info_.entryPoint)
        OpenArea(pushed, 0, {});
    }
  }
  if (t && t == helpers_.handleOnException) {
    std::uint32_t count = 0;
    if (Read32(in.next, count) && count < 256) {
      AddBlock(in.next, in.next + 4 + count * 8, false);
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t handler = 0;
        if (Read32(in.next + 4 + i * 8 + 4, handler)) OpenArea(handler, 0, {});
      }
    }
  }
  bool helper = IsHelper(t);
  if (in.targetSize > 3 && (in.isCall || !InModule(t) || helper)) {
    bool known = std::any_of(info_.farCalls.begin(), info_.farCalls.end(),
                             [&](const TFarCall& f) { return f.next == in.next; });
    if (!known) {
      TFarCall f{in.isCall,         in.address,     in.next,         t,
                 in.relativeTarget, in.targetField, in.targetPointer};
      // A thunk to an exported function: record the final target.
      TInstruction thunk = DecodeInstruction(reader_, t, snapshot_, nullptr);
      if (symbols_ && symbols_->exportNameAt && thunk.valid && thunk.isJump && thunk.target &&
          (thunk.opcode == 0xE9 || thunk.opcode == 0xEB || thunk.opcode == 0xFF) &&
          symbols_->exportNameAt(t).empty() && !symbols_->exportNameAt(thunk.target).empty())
        f.target = thunk.target;
      info_.farCalls.push_back(f);
    }
    return;
  }
  if (in.isJump && t && InModule(t)) OpenArea(t, in.address, regs);
}

bool TParser::ParseArea(std::uint32_t start) {
  TRegisterState regs = areas_[start].regs;
  std::uint32_t a = start;
  std::uint32_t pendingHandler = 0;  // pushed address of an exception frame being set up
  int cmpReg = -1, cmpImm = 0, caseEntries = -1;
  for (;;) {
    std::uint32_t limit = NextAreaStart(a);
    TRegisterState before = regs;
    TInstruction in = DecodeInstruction(reader_, a, snapshot_, &regs);
    if (!in.valid || in.next > limit || in.next < a) return false;
    // A jump back into this area may have split it: extend the part holding a.
    auto holder = std::prev(areas_.upper_bound(a));
    holder->second.end = in.next;

    // Exception frame: push handler; push fs:[reg] or fs:[0].
    std::uint8_t following = 0;
    if (in.opcode == 0x68 && in.length == 5 &&
        GuardedRead(reader_, in.next, &following, 1, snapshot_) && following == 0x64)
      pendingHandler = in.imm;
    if (pendingHandler && in.segment == 0x64 && in.opcode == 0xFF && ((in.modrm >> 3) & 7) == 6) {
      bool viaReg = in.length == 3 && (in.modrm >> 6) == 0 && MemoryBase(in) >= 0 &&
                    MemoryIndex(in) < 0 && before.reg[MemoryBase(in)] == 0;
      bool viaZero = in.length == 7 && IsAbsoluteMemory(in) && in.disp == 0;
      if (viaReg || viaZero) {
        OpenArea(pendingHandler, 0, {});
        pendingHandler = 0;
      }
    }
    // Switch: cmp reg, imm8; ja/jg/jae/jge; jmp [reg*4+table] with the table after the jump.
    bool isCmp = in.opcode == 0x83 && (in.modrm >> 6) == 3 && ((in.modrm >> 3) & 7) == 7;
    std::uint32_t op = in.opcode;
    bool tableJump = false;
    if (isCmp) {
      cmpReg = in.modrm & 7;
      cmpImm = int(std::uint8_t(in.imm));
      caseEntries = -1;
    } else if (cmpReg >= 0 && caseEntries < 0 &&
               (op == 0x77 || op == 0x7F || op == 0x0F87 || op == 0x0F8F)) {
      caseEntries = cmpImm + 1;
    } else if (cmpReg >= 0 && caseEntries < 0 &&
               (op == 0x73 || op == 0x7D || op == 0x0F83 || op == 0x0F8D)) {
      caseEntries = cmpImm;
    } else if (caseEntries > 0 && op == 0xFF && in.modrm == 0x24 && (in.sib >> 6) == 2 &&
               (in.sib & 7) == 5 && ((in.sib >> 3) & 7) == cmpReg &&
               std::uint32_t(in.disp) == in.next) {
      tableJump = true;
      AddBlock(in.next, in.next + std::uint32_t(caseEntries) * 4, true);
      for (int i = 0; i < caseEntries; ++i) {
        std::uint32_t entry = 0;
        if (Read32(in.next + std::uint32_t(i) * 4, entry)) OpenArea(entry, in.address, regs);
      }
      cmpReg = -1;
      caseEntries = -1;
    } else if (caseEntries < 0) {
      cmpReg = -1;
    }

    if ((in.isCall || in.isJump) && !tableJump) Transfer(in, before);
    if (overflow_) return false;
    if (EndsArea(in) || Ends(in.target)) return true;
    if (areas_.count(in.next)) return true;
    if (!(regs == before)) {
      OpenArea(in.next, 0, regs);
      return true;
    }
    a = in.next;
  }
}

bool TParser::Run() {
  std::uint32_t entry = info_.entryPoint;
  TRegionInfo region;
  if (!reader_.Query(entry, region) || !region.committed) {
    info_.errorAddress = entry;
    info_.errorNumber = kInvalidParameterError;
    info_.errorText = "The parameter is incorrect.";
    return false;
  }
  TModuleRanges m;
  if (ModuleRangesAt(reader_, entry, m)) {
    lo_ = std::min(m.codeBegin, m.dataBegin ? m.dataBegin : m.codeBegin);
    hi_ = std::max(m.codeEnd, m.dataEnd);
    if (entry < lo_ || entry >= hi_) {
      lo_ = m.base;
      hi_ = m.base + m.size;
    }
  }
  // Headers that do not cover the entry point: the region of the entry point.
  if (entry < lo_ || entry >= hi_ || !hi_) {
    lo_ = region.start;
    hi_ = region.end ? region.end : 0xFFFFFFFFu;
  }
  OpenArea(entry, 0, {});
  bool valid = true;
  for (int rounds = 0; valid && rounds < 100000; ++rounds) {
    auto pending = std::find_if(areas_.begin(), areas_.end(),
                                [](const auto& kv) { return kv.second.end == 0; });
    if (pending != areas_.end()) {
      valid = ParseArea(pending->first);
      continue;
    }
    // Unknown transfers again, with the state at the start of their area.
    std::size_t before = areas_.size();
    auto unknown = info_.unknownTransfers;
    for (auto u = unknown.rbegin(); u != unknown.rend(); ++u) {
      auto holder = areas_.upper_bound(u->address);
      if (holder == areas_.begin()) continue;
      --holder;
      if (!holder->second.end || u->address >= holder->second.end) continue;
      TRegisterState regs = holder->second.regs;
      TInstruction in = DecodeInstruction(reader_, u->address, snapshot_, &regs);
      if (in.valid && (in.target || in.targetPointer)) Transfer(in, holder->second.regs);
    }
    if (areas_.size() != before) continue;
    bool unknownJump = std::any_of(info_.unknownTransfers.begin(), info_.unknownTransfers.end(),
                                   [](const TUnknownTransfer& t) { return t.isCall == 0; });
    if (!unknownJump) break;
    // The gap after the run of contiguous areas from the lowest one.
    std::uint32_t gap = areas_.begin()->second.end;
    std::uint32_t highest = 0;
    for (const auto& [s, a] : areas_) highest = std::max(highest, a.end);
    bool found = false;
    for (const auto& [s, a] : areas_) {
      if (s < gap) continue;
      if (s == gap) {
        gap = a.end;
        continue;
      }
      found = true;
      break;
    }
    if (!found || highest - gap >= 1024 || !InModule(gap)) break;
    auto saved = areas_;
    auto savedFar = info_.farCalls;
    auto savedUnknown = info_.unknownTransfers;
    OpenArea(gap, 0, {});
    bool ok = true;
    while (ok) {
      auto p = std::find_if(areas_.begin(), areas_.end(),
                            [](const auto& kv) { return kv.second.end == 0; });
      if (p == areas_.end()) break;
      ok = ParseArea(p->first);
    }
    if (!ok) {
      areas_ = saved;
      info_.farCalls = savedFar;
      info_.unknownTransfers = savedUnknown;
      break;
    }
  }
  if (!valid) {
    info_.errorAddress = entry;
    info_.errorNumber = kInvalidCodeError;
    info_.errorText = "Invalid code!";
    return false;
  }
  if (areas_.empty()) {
    info_.errorAddress = entry;
    info_.errorNumber = kInvalidCodeError;
    info_.errorText = "Invalid code!";
    return false;
  }
  for (const auto& [s, a] : areas_) info_.areas.push_back(a);
  std::uint32_t begin = info_.areas.front().start, end = 0;
  for (const TCodeArea& a : info_.areas) end = std::max(end, a.end);
  info_.codeBegin = begin;
  info_.codeLength = end - begin;
  // Plain code before the first control transfer.
  std::uint32_t plain = 0;
  for (std::uint32_t a = entry; plain < 6;) {
    TInstruction in = DecodeInstruction(reader_, a, snapshot_, nullptr);
    if (!in.valid || in.isCall || in.isJump || EndsArea(in) || in.relativeTarget) break;
    plain += in.length;
    a = in.next;
  }
  info_.overwritable = plain >= 6;
  info_.relocatedSize = info_.codeLength + 4;
  for (const TFarCall& f : info_.farCalls)
    if (f.targetPointer) info_.relocatedSize += 4;
  return true;
}

}  // namespace

TFunctionInfo ParseFunction(const IMemoryReader& reader, std::uint32_t entryPoint,
                            const TDATryRead* snapshot, const TRuntimeHelpers& helpers,
                            const TDisasmSymbols* symbols) {
  TFunctionInfo info;
  info.entryPoint = entryPoint;
  TParser parser(reader, snapshot, helpers, symbols, info);
  info.valid = parser.Run();
  if (!info.valid) {
    info.areas.clear();
    info.farCalls.clear();
    info.unknownTransfers.clear();
  }
  return info;
}

}  // namespace ostrel
