// Every value on the stack that could be a return address becomes a
// candidate; the ones that are plausible and verified become items.
#include <cstring>

#include "crash/report/disasm/decoder.h"
#include "crash/report/stack/stack_tables.h"

namespace ostrel {
namespace {

bool Readable(const TWalkState& walk, std::uint32_t address, std::uint32_t length) {
  std::uint8_t buffer[16];
  return length <= sizeof buffer &&
         GuardedRead(walk.tables.Reader(), address, buffer, length, walk.tables.Snapshot());
}

struct TCandidate {
  std::uint32_t value = 0;
  bool forced = false;
  bool preparedAnchored = false;
  bool framePointerSlot = false;
};

// Adds the candidate as an item when it holds; true when it was added.
bool AddCandidate(TWalkState& walk, TCandidate c) {
  TStackTables& tables = walk.tables;
  const TWalkRequest& request = walk.request;
  std::uint32_t v = c.value;
  if (walk.tryFinallyReturn != 0 && v == walk.tryFinallyReturn) return false;
  const bool firstWithCreator = walk.items.empty() && request.creatorAddress != 0;
  const bool forced =
      c.forced || (request.isException && v != 0 && v == walk.current) || firstWithCreator;
  std::uint32_t tested = v - 1;
  std::uint32_t callAddress = 0;
  bool haveCall = false;
  if (forced) {
    tested = v;
    if (Readable(walk, v, 8)) {
      const TInstruction in = DecodeInstruction(tables.Reader(), v, tables.Snapshot(), nullptr);
      if (in.valid && in.next > v) {
        callAddress = v;
        haveCall = true;
        v = in.next;
      }
    }
  }
  bool plausible = false;
  int module = -1;
  // The snapshot and the raw bytes rule out most values before the system
  // is asked about the memory.
  const TDATryRead* snapshot = tables.Snapshot();
  std::uint8_t before[8] = {};
  const bool callShape =
      v > 7 && (!snapshot || ClassifyRange(*snapshot, tested, 1) != kNotReadable) &&
      (forced || (GuardedRead(tables.Reader(), c.value - 8, before, 8, snapshot) &&
                  CallPatternBefore(before)));
  TRegionInfo region;
  if (callShape && tables.Reader().Query(tested, region) && region.committed &&
      region.allocationBase != 0 && region.cls != kNotReadable) {
    module = tables.ModuleAt(tested);
    if (module < 0) {
      plausible = true;
    } else {
      const TStackModule& m = tables.Module(module);
      plausible = (v > m.codeBegin && v <= m.codeEnd) || (v > m.dataBegin && v <= m.dataEnd);
    }
  }
  bool verified = plausible;
  TFoundCall call;
  if (plausible && module >= 0) {
    const TStackModule& m = tables.Module(module);
    if (v > m.codeBegin && v <= m.codeEnd) {
      call = tables.FindCall(v, tested, forced, request.externalException, module);
      if (call.named && !call.found) verified = false;
      if (call.found) {
        haveCall = true;
        callAddress = call.callAddress;
        v = call.returnAddress;
      }
    }
  }
  if (forced && !call.found) {
    if (!request.isException || request.externalException) {
      callAddress = tested;
      haveCall = true;
    } else if (!Readable(walk, tested, 1)) {
      call.function = tables.MakePlaceholder(v);
      call.found = true;
      verified = true;
    }
  }
  if (!(forced || verified || c.preparedAnchored || c.framePointerSlot)) return false;
  TInternalStackItem item;
  item.address = v;
  item.anchored = forced || c.preparedAnchored || c.framePointerSlot;
  item.shown = forced && !firstWithCreator;
  item.plausible = plausible;
  item.module = module >= 0 ? module : tables.ModuleAt(v);
  if (haveCall || call.found) {
    TLink link;
    link.function = call.found ? call.function : -1;
    link.callTarget = call.target;
    link.knownTarget = call.knownTarget;
    link.callAddress = callAddress;
    item.lists[1].links.reserve(8);
    item.lists[1].links.push_back(link);
  }
  if (walk.items.size() == walk.items.capacity())
    walk.items.reserve(walk.items.empty() ? 64 : walk.items.size() * 2);
  walk.items.push_back(std::move(item));
  return true;
}

void BuildFramePointerSlots(TWalkState& walk) {
  const std::uint32_t fp = walk.request.framePointer;
  if (fp == 0) return;
  walk.framePointerSlots.reserve(64);
  if (fp + 4 > walk.bottom && fp + 4 < walk.top) walk.framePointerSlots.push_back(fp + 4);
  std::uint32_t current = fp;
  while (current < walk.top - 4) {
    std::uint32_t saved = 0;
    if (!GuardedRead(walk.tables.Reader(), current, &saved, 4, walk.tables.Snapshot())) break;
    if (saved <= current) break;
    if (saved + 4 > walk.bottom) walk.framePointerSlots.push_back(saved + 4);
    current = saved;
  }
}

bool LastIsShown(const TWalkState& walk) { return !walk.items.empty() && walk.items.back().shown; }

// The prepared stack: a count, then records of an anchored byte and an address.
void AddPreparedStack(TWalkState& walk, const std::string& prepared) {
  if (prepared.size() < 4) return;
  std::uint32_t count = 0;
  std::memcpy(&count, prepared.data(), 4);
  const std::size_t available = (prepared.size() - 4) / 5;
  if (count > available) count = static_cast<std::uint32_t>(available);
  for (std::uint32_t i = 0; i < count && !walk.Cancelled(); ++i) {
    TCandidate c;
    c.preparedAnchored = prepared[4 + i * 5] != 0;
    std::memcpy(&c.value, prepared.data() + 4 + i * 5 + 1, 4);
    AddCandidate(walk, c);
    if (LastIsShown(walk)) break;
    walk.Progress(static_cast<int>(i * 25 / count));
  }
}

}  // namespace

void TWalkState::RemoveItem(int index) {
  TInternalStackItem& item = items[static_cast<std::size_t>(index)];
  item.deleted = true;
  item.anchored = false;
  for (TStackLinks& list : item.lists) {
    for (const TLink& link : list.links) {
      if (link.target < 0) continue;
      for (TStackLinks& other : items[static_cast<std::size_t>(link.target)].lists) {
        std::erase_if(other.links, [&](const TLink& l) { return l.target == index; });
        other.chosen = -1;
      }
    }
    list.links.clear();
    list.chosen = -1;
  }
}

void TWalkState::InvalidateFunction(int function) {
  tables.Invalidate(function);
  for (TInternalStackItem& item : items) {
    for (TStackLinks& list : item.lists) {
      const std::size_t before = list.links.size();
      std::erase_if(list.links, [&](const TLink& l) { return l.function == function; });
      if (list.links.size() != before) list.chosen = -1;
    }
  }
}

void CollectPossibleStackItems(TWalkState& walk) {
  TStackTables& tables = walk.tables;
  if (const std::uint32_t routine = tables.Environment().TryFinallyExitRoutine()) {
    const TFunctionInfo info = ParseFunction(tables.Reader(), routine, tables.Snapshot(), {},
                                             tables.Environment().DisasmSymbols());
    int calls = 0;
    std::uint32_t next = 0;
    for (const TUnknownTransfer& t : info.unknownTransfers) {
      if (t.isCall) {
        ++calls;
        next = t.next;
      }
    }
    if (calls == 1) walk.tryFinallyReturn = next;
  }
  if (walk.request.creatorAddress != 0) {
    TCandidate c;
    c.value = walk.request.creatorAddress;
    c.forced = true;
    AddCandidate(walk, c);
  }
  const std::string* prepared = walk.request.preparedStack;
  if (prepared && !prepared->empty()) {
    AddPreparedStack(walk, *prepared);
  } else {
    BuildFramePointerSlots(walk);
    const std::vector<std::uint32_t>& slots = walk.framePointerSlots;
    std::size_t next = slots.size();  // slots[next - 1]: highest not above the slot
    const std::uint32_t span = walk.top - walk.bottom;
    for (std::uint32_t slot = walk.top - 4; slot >= walk.bottom && slot < walk.top; slot -= 4) {
      if (walk.Cancelled()) return;
      while (next > 0 && slots[next - 1] > slot) --next;
      std::uint32_t value = 0;
      if (!GuardedRead(tables.Reader(), slot, &value, 4, tables.Snapshot())) continue;
      TCandidate c;
      c.value = value;
      c.framePointerSlot = next > 0 && slots[next - 1] == slot;
      const bool added = AddCandidate(walk, c);
      if (added && LastIsShown(walk)) break;
      // Below a frame's return address lies its saved frame pointer.
      if (added && walk.items.back().anchored) slot -= 4;
      if ((slot & 0x3FFC) == 0) walk.Progress(static_cast<int>((walk.top - slot) * 25.0 / span));
      if (slot < 4) break;
    }
  }
  if (!walk.request.noTopItem && !LastIsShown(walk)) {
    TCandidate c;
    c.value = walk.current;
    c.forced = true;
    AddCandidate(walk, c);
  }
  walk.Progress(25);
}

}  // namespace ostrel
