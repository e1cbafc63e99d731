#include "crash/report/stack/stack_tables.h"

#include <algorithm>
#include <cstring>

#include "crash/base/text_case.h"
#include "crash/report/disasm/decoder.h"
#include "crash/report/disasm/module_ranges.h"
#include "crash/report/symbols/lookup.h"

namespace ostrel {
namespace {

bool Read32(const IMemoryReader& reader, const TDATryRead* snapshot, std::uint32_t at,
            std::uint32_t& value) {
  return GuardedRead(reader, at, &value, 4, snapshot);
}

// Routines that raise an exception: a forced location right behind a call
// of one of them shows the raising statement.
bool IsRaiseRoutine(const std::u16string& name) {
  for (const char16_t* part : {u"@raiseexcept", u"error", u"cxa_throw", u"cxa_rethrow"}) {
    if (ContainsNoCase(name, part)) return true;
  }
  return false;
}

}  // namespace

int TStackTables::ModuleAt(std::uint32_t address) {
  // Known modules first: asking the system costs a call each time.
  for (std::size_t i = 0; i < modules_.size(); ++i) {
    const TStackModule& m = modules_[i];
    if (address >= m.handle && address - m.handle < m.size) return static_cast<int>(i);
  }
  TRegionInfo region;
  if (!reader_.Query(address, region) || region.allocationBase == 0) return -1;
  if (notModules_.count(region.allocationBase)) return -1;
  TModuleRanges ranges;
  if (!ModuleRangesAt(reader_, address, ranges)) {
    notModules_[region.allocationBase] = true;
    return -1;
  }
  if (modules_.size() == modules_.capacity())
    modules_.reserve(modules_.empty() ? 16 : modules_.size() * 2);
  TStackModule m;
  m.handle = ranges.base;
  m.size = ranges.size;
  m.codeBegin = ranges.codeBegin;
  m.codeEnd = ranges.codeEnd;
  m.dataBegin = ranges.dataBegin;
  m.dataEnd = ranges.dataEnd;
  m.fileName = env_.ModuleFileName(m.handle);
  m.symbols = env_.Symbols(m.handle);
  if (m.symbols && !m.symbols->valid) m.symbols.reset();
  m.isProgram = env_.IsProgramModule(m.handle);
  modules_.push_back(std::move(m));
  return static_cast<int>(modules_.size() - 1);
}

const TRuntimeHelpers& TStackTables::HelpersOf(int module) {
  static const TRuntimeHelpers none;
  if (module < 0) return none;
  TStackModule& m = Module(module);
  if (!m.helpersRead) {
    m.helpersRead = true;
    m.helpers = env_.Helpers(m.handle);
  }
  return m.helpers;
}

void TStackTables::ReadExports(TStackModule& m) {
  m.exportsRead = true;
  const std::uint32_t base = m.handle;
  std::uint32_t pe = 0, entry = 0, dirRva = 0, dirSize = 0;
  if (!Read32(reader_, snapshot_, base + 0x3C, pe) || pe > 0x1000) return;
  if (Read32(reader_, snapshot_, base + pe + 24 + 16, entry) && entry != 0)
    m.exports.emplace_back(base + entry, std::u16string());
  std::uint32_t dir[10] = {};
  if (Read32(reader_, snapshot_, base + pe + 24 + 96, dirRva) &&
      Read32(reader_, snapshot_, base + pe + 24 + 100, dirSize) && dirRva != 0 &&
      GuardedRead(reader_, base + dirRva, dir, sizeof dir, snapshot_)) {
    const std::uint32_t functions = std::min<std::uint32_t>(dir[5], 65536);
    const std::uint32_t names = std::min<std::uint32_t>(dir[6], 65536);
    std::vector<std::uint32_t> addresses(functions), nameRvas(names);
    std::vector<std::uint16_t> ordinals(names);
    if ((functions == 0 ||
         GuardedRead(reader_, base + dir[7], addresses.data(), functions * 4, snapshot_)) &&
        (names == 0 ||
         (GuardedRead(reader_, base + dir[8], nameRvas.data(), names * 4, snapshot_) &&
          GuardedRead(reader_, base + dir[9], ordinals.data(), names * 2, snapshot_)))) {
      // The names lie inside the directory's own range as linkers lay it
      // out: one read for all of them (byte by byte cost a second emulated).
      std::vector<char> blob(std::min<std::uint32_t>(dirSize, 4u << 20));
      if (!GuardedRead(reader_, base + dirRva, blob.data(), static_cast<std::uint32_t>(blob.size()),
                       snapshot_))
        blob.clear();
      std::vector<std::u16string> nameOf(functions);
      for (std::uint32_t i = 0; i < names; ++i) {
        if (ordinals[i] >= functions) continue;
        const std::uint32_t at = nameRvas[i] - dirRva;
        if (nameRvas[i] >= dirRva && at < blob.size()) {
          std::uint32_t end = at;
          while (end < blob.size() && end - at < 256 && blob[end] != 0) ++end;
          nameOf[ordinals[i]].assign(blob.begin() + at, blob.begin() + end);
          continue;
        }
        char text[257] = {};
        std::uint32_t n = 0;
        for (; n < 256; ++n) {
          if (!GuardedRead(reader_, base + nameRvas[i] + n, &text[n], 1, snapshot_) || text[n] == 0)
            break;
        }
        nameOf[ordinals[i]].assign(text, text + n);
      }
      for (std::uint32_t i = 0; i < functions; ++i) {
        const std::uint32_t rva = addresses[i];
        // Forwarders point into the directory itself.
        if (rva == 0 || (rva >= dirRva && rva - dirRva < dirSize)) continue;
        m.exports.emplace_back(base + rva, nameOf[i]);
      }
    }
  }
  std::stable_sort(m.exports.begin(), m.exports.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool TStackTables::NearestExport(int module, std::uint32_t address, std::uint32_t& start,
                                 std::u16string& name) {
  if (module < 0) return false;
  TStackModule& m = Module(module);
  if (!m.exportsRead) ReadExports(m);
  auto it = std::upper_bound(m.exports.begin(), m.exports.end(), address,
                             [](std::uint32_t a, const auto& e) { return a < e.first; });
  if (it == m.exports.begin()) return false;
  --it;
  start = it->first;
  name = it->second;
  // A named export wins over the entry point at the same address.
  for (auto same = it; same->first == start; --same) {
    if (!same->second.empty()) name = same->second;
    if (same == m.exports.begin()) break;
  }
  return true;
}

std::u16string TStackTables::NameAt(std::uint32_t address) {
  const int module = ModuleAt(address);
  if (module < 0) return {};
  TStackModule& m = Module(module);
  if (m.symbols) {
    const TMfPublic pub = PublicAt(*m.symbols, address);
    return pub.valid && pub.address == address ? pub.name : std::u16string();
  }
  std::uint32_t start = 0;
  std::u16string name;
  return NearestExport(module, address, start, name) && start == address ? name : std::u16string();
}

void TStackTables::Approve(int function) {
  std::vector<int> work{function};
  while (!work.empty()) {
    const int f = work.back();
    work.pop_back();
    if (Function(f).approved) continue;
    Function(f).approved = true;
    for (const TFarCall& call : Function(f).info.farCalls) {
      if (!call.isCall) continue;
      auto it = functionAt_.find(call.target);
      if (it != functionAt_.end() && !Function(it->second).approved) work.push_back(it->second);
    }
  }
}

int TStackTables::MakeFunction(std::uint32_t entry, const std::u16string* name, bool approved) {
  if (auto it = functionAt_.find(entry); it != functionAt_.end()) {
    if (approved) Approve(it->second);
    return it->second;
  }
  int first = -1;
  // The function and the ones it calls directly: enough to recognise a
  // return address inside a callee of a function on the chain. Their own
  // callees are made when the walk reaches them, not before: the closure
  // over a whole program costs seconds.
  std::vector<std::pair<std::uint32_t, const std::u16string*>> work{{entry, name}};
  bool callees = true;
  while (!work.empty()) {
    const auto [at, given] = work.back();
    work.pop_back();
    if (auto it = functionAt_.find(at); it != functionAt_.end()) {
      if (approved) Approve(it->second);
      continue;
    }
    TStackFunction f;
    f.module = ModuleAt(at);
    f.name = given ? *given : NameAt(at);
    f.approved = approved;
    f.info = ParseFunction(reader_, at, snapshot_, HelpersOf(f.module), env_.DisasmSymbols());
    if (functions_.size() == functions_.capacity())
      functions_.reserve(functions_.empty() ? 16 : functions_.size() * 2);
    functions_.push_back(std::move(f));
    const int index = static_cast<int>(functions_.size() - 1);
    functionAt_[at] = index;
    if (first < 0) first = index;
    if (!callees) continue;
    callees = false;
    for (const TFarCall& call : functions_.back().info.farCalls) {
      if (call.isCall && call.target != 0 && !functionAt_.count(call.target))
        work.emplace_back(call.target, nullptr);
    }
  }
  return first;
}

int TStackTables::MakePlaceholder(std::uint32_t address) {
  if (auto it = functionAt_.find(address); it != functionAt_.end()) return it->second;
  TStackFunction f;
  f.module = ModuleAt(address);
  f.info.entryPoint = f.info.codeBegin = address;
  f.info.codeLength = 0;
  functions_.push_back(std::move(f));
  functionAt_[address] = static_cast<int>(functions_.size() - 1);
  return static_cast<int>(functions_.size() - 1);
}

TFoundCall TStackTables::SearchCall(int f, std::uint32_t v, std::uint32_t tested, bool forced,
                                    bool external) {
  TFoundCall r;
  r.function = f;
  r.returnAddress = v;
  const TStackFunction& fn = Function(f);
  if (fn.invalid) return r;
  if (fn.info.codeLength < 1) {
    r.found = fn.info.entryPoint == v;
    r.callAddress = v;
    return r;
  }
  if (forced) {
    if (!external) {
      for (const TFarCall& call : fn.info.farCalls) {
        if (call.isCall && call.next == tested && IsRaiseRoutine(NameAt(call.target))) {
          r.found = true;
          r.callAddress = call.address;
          r.target = call.target;
          r.knownTarget = true;
          r.returnAddress = call.next;
          return r;
        }
      }
    }
    for (const TCodeArea& area : fn.info.areas) {
      if (!(area.start < v && v <= area.end)) continue;
      std::uint32_t at = area.start, previous = 0;
      while (at < v) {
        const TInstruction in = DecodeInstruction(reader_, at, snapshot_, nullptr);
        if (!in.valid || in.next <= at) break;
        previous = at;
        at = in.next;
      }
      if (at == v && previous != 0) {
        r.found = true;
        r.callAddress = previous;
      }
      return r;
    }
    return r;
  }
  for (const TUnknownTransfer& t : fn.info.unknownTransfers) {
    if (t.isCall && t.next == v) {
      r.found = true;
      r.callAddress = t.address;
      return r;
    }
  }
  for (const TFarCall& call : fn.info.farCalls) {
    if (call.isCall && call.next == v) {
      r.found = true;
      r.callAddress = call.address;
      r.target = call.target;
      r.knownTarget = true;
      return r;
    }
  }
  return r;
}

TFoundCall TStackTables::FindCall(std::uint32_t v, std::uint32_t tested, bool forced, bool external,
                                  int module) {
  TFoundCall none;
  if (module < 0) return none;
  TStackModule& m = Module(module);
  if (m.symbols) {
    none.named = true;
    const TMfPublic pub = PublicAt(*m.symbols, tested);
    if (!pub.valid || !pub.code) return none;
    const int f = MakeFunction(pub.address, &pub.name, true);
    TFoundCall r = SearchCall(f, v, tested, forced, external);
    r.named = true;
    if (r.found) return r;
    // Code the function jumps to beyond its own (a cold part, a shared
    // tail) is searched as a piece of its own.
    const TFunctionInfo info = Function(f).info;
    const std::u16string pieceName = pub.name + u".@label";
    for (const TFarCall& transfer : info.farCalls) {
      const std::uint32_t t = transfer.target;
      if (t <= info.entryPoint) continue;
      const bool inside =
          t - info.entryPoint < info.codeLength || PublicAt(*m.symbols, t).address == pub.address;
      if (!inside || t == info.entryPoint) continue;
      const int piece = MakeFunction(t, &pieceName, true);
      r = SearchCall(piece, v, tested, forced, external);
      r.named = true;
      if (r.found) return r;
    }
    return none;
  }
  if (m.isProgram) return none;
  std::uint32_t start = 0;
  std::u16string name;
  if (!NearestExport(module, tested, start, name)) return none;
  const int f = MakeFunction(start, name.empty() ? nullptr : &name, false);
  for (const TCodeArea& area : Function(f).info.areas) {
    if (tested >= area.start && tested < area.end) {
      TFoundCall r = SearchCall(f, v, tested, forced, external);
      r.named = true;
      return r;
    }
  }
  return none;
}

bool CallPatternBefore(const std::uint8_t b[8]) {
  // b[k] is the byte at v - 8 + k.
  if (b[3] == 0xE8) return true;  // call rel32 at v-5
  for (int length : {2, 3, 4, 6, 7}) {
    const int at = 8 - length;
    if (b[at] == 0xFF && ((b[at + 1] >> 4) & 3) == 1) return true;
  }
  return b[1] == 0x9A;  // call far at v-7
}

}  // namespace ostrel
