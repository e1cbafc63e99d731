// Linking the items: recursion repeats removed, each item checked against
// the functions known to be on the chain, callers linked to callees, and
// the best-scoring chain kept between each pair of certain items.
#include <algorithm>

#include "crash/report/disasm/decoder.h"
#include "crash/report/stack/stack_tables.h"
#include "crash/report/symbols/lookup.h"

namespace ostrel {
namespace {

using Items = std::vector<TInternalStackItem>;

TInternalStackItem& Item(TWalkState& walk, int i) {
  return walk.items[static_cast<std::size_t>(i)];
}

bool HasLink(const TStackLinks& list, int target, std::uint32_t callAddress, int function) {
  return std::any_of(list.links.begin(), list.links.end(), [&](const TLink& l) {
    return l.target == target && l.callAddress == callAddress && l.function == function;
  });
}

void AddLink(TStackLinks& list, const TLink& link) {
  if (HasLink(list, link.target, link.callAddress, link.function)) return;
  if (list.links.size() == list.links.capacity())
    list.links.reserve(list.links.empty() ? 8 : list.links.size() * 2);
  list.links.push_back(link);
}

bool IsApproved(TWalkState& walk, int function) {
  return function >= 0 && walk.tables.Function(function).approved &&
         !walk.tables.Function(function).invalid;
}

bool AreaContains(const TFunctionInfo& info, std::uint32_t address) {
  for (const TCodeArea& a : info.areas) {
    if (a.start < address && address <= a.end + 1) return true;
  }
  return false;
}

struct TCall {
  std::uint32_t address = 0;
  std::uint32_t target = 0;
  bool known = false;
};

// Links item i, through call c, to the inner items the call may lead to.
void LinkFromCall(TWalkState& walk, int i, const TCall& c, bool approving) {
  TStackTables& tables = walk.tables;
  const int count = static_cast<int>(walk.items.size());
  int callee = -1;
  bool unknown = !c.known;
  if (c.known) {
    callee = tables.MakeFunction(c.target, nullptr, approving);
    for (const TUnknownTransfer& t : tables.Function(callee).info.unknownTransfers) {
      if (t.isCall == 0) unknown = true;  // it jumps on to code nobody knows
    }
  }
  auto link = [&](bool viaCallee) {
    for (int j = i + 1; j < count; ++j) {
      if (walk.Cancelled()) return;
      TInternalStackItem& inner = Item(walk, j);
      if (inner.deleted) continue;
      TFoundCall found;
      if (viaCallee) {
        // A forced location is found by its own instruction, not as a return.
        std::uint32_t tested = inner.address - 1;
        if (inner.shown && !inner.lists[1].links.empty())
          tested = inner.lists[1].links.front().callAddress;
        found = tables.SearchCall(callee, inner.address, tested, inner.shown,
                                  walk.request.externalException);
      }
      bool qualifies = !viaCallee || found.found;
      if (qualifies && !approving && found.found) {
        for (const TLink& l : inner.lists[1].links) {
          if (IsApproved(walk, l.function) && l.callAddress != found.callAddress) qualifies = false;
        }
      }
      if (qualifies) {
        TLink up;
        up.target = i;
        up.function = viaCallee ? callee : -1;
        up.callTarget = c.target;
        up.callAddress = found.found ? found.callAddress : 0;
        up.knownTarget = found.found && found.knownTarget;
        AddLink(inner.lists[1], up);
        TLink down;
        down.target = j;
        down.function = viaCallee ? callee : -1;
        down.callTarget = c.target;
        down.callAddress = c.address;
        down.knownTarget = c.known;
        AddLink(Item(walk, i).lists[0], down);
      }
      if (inner.anchored) break;
    }
  };
  if (callee >= 0) link(true);
  if (unknown) {
    const TStackLinks& downs = Item(walk, i).lists[0];
    const bool done = std::any_of(downs.links.begin(), downs.links.end(),
                                  [](const TLink& l) { return l.function < 0; });
    if (!done) link(false);
  }
}

void DeepCheck(TWalkState& walk, int i) {
  TStackTables& tables = walk.tables;
  TInternalStackItem& item = Item(walk, i);
  const TLink* approved = nullptr;
  for (const TLink& l : item.lists[1].links) {
    if (IsApproved(walk, l.function)) {
      approved = &l;
      break;
    }
  }
  if (!approved) {
    for (std::size_t f = 0; f < tables.FunctionCount(); ++f) {
      const int fi = static_cast<int>(f);
      if (!IsApproved(walk, fi) || !AreaContains(tables.Function(fi).info, item.address)) continue;
      const TFoundCall found = tables.SearchCall(fi, item.address, item.address - 1, false, false);
      if (found.found) {
        TLink l;
        l.function = fi;
        l.callAddress = found.callAddress;
        l.callTarget = found.target;
        l.knownTarget = found.knownTarget;
        AddLink(item.lists[1], l);
        approved = &item.lists[1].links.back();
        for (const TLink& k : item.lists[1].links) {
          if (k.function == fi && k.callAddress == found.callAddress) approved = &k;
        }
        break;
      }
      // Inside code that is on the chain, yet no call returns here: stale.
      if (!item.shown) {
        walk.RemoveItem(i);
        return;
      }
    }
  }
  if (approved) {
    const TLink chosen = *approved;
    std::vector<int> others;
    for (const TLink& l : item.lists[1].links) {
      if (l.callAddress != chosen.callAddress && l.function >= 0 && l.function != chosen.function)
        others.push_back(l.function);
    }
    for (int f : others) walk.InvalidateFunction(f);
    TCall c;
    c.address = chosen.callAddress;
    c.target = chosen.callTarget;
    c.known = chosen.knownTarget;
    LinkFromCall(walk, i, c, true);
    return;
  }
  // Nothing known: every call instruction that ends at the address.
  TRegionInfo region;
  std::uint32_t start = item.address >= 7 ? item.address - 7 : 0;
  if (tables.Reader().Query(item.address - 1, region) && region.start > start) start = region.start;
  // Bounded without overflow: an item at the top of the address space
  // would otherwise wrap the loop round all of it.
  for (std::uint32_t at = start; item.address >= 2 && at <= item.address - 2; ++at) {
    if (walk.Cancelled()) return;
    const TInstruction in = DecodeInstruction(tables.Reader(), at, tables.Snapshot(), nullptr);
    if (!in.valid || !in.isCall || in.next != item.address) continue;
    TCall c;
    c.address = at;
    c.known = in.target != 0;
    c.target = in.target;
    LinkFromCall(walk, i, c, false);
  }
}

constexpr std::uint64_t kStartScore = std::uint64_t{1} << 60;
constexpr std::uint64_t kReached = std::uint64_t{1} << 62;
constexpr std::uint64_t kBit61 = std::uint64_t{1} << 61;

bool HasLines(TWalkState& walk, int module, std::uint32_t address) {
  if (module < 0) return false;
  const auto& symbols = walk.tables.Module(module).symbols;
  return symbols && LineAt(*symbols, address).line > 0;
}

// Score of the best chain from first to last along list dir (0: upwards).
std::uint64_t Evaluate(TWalkState& walk, int first, int last, int dir, bool directlyConnected) {
  std::uint64_t best = kStartScore;
  if (walk.Cancelled()) return best;
  TStackLinks& list = Item(walk, first).lists[dir];
  int chosen = -1;
  for (std::size_t k = 0; k < list.links.size(); ++k) {
    TLink& link = list.links[k];
    const int target = link.target;
    if (target < 0 || Item(walk, target).deleted) continue;
    if (last >= 0 && (dir == 0 ? target > last : target < last)) continue;
    if (link.score == 0) {
      const bool hasFunction = link.function >= 0;
      std::uint64_t base = 0;
      if (target == last) {
        base = (hasFunction ? std::uint64_t{0x70000000} : std::uint64_t{0x50000000}) << 32;
      } else {
        base = Evaluate(walk, target, last, dir, directlyConnected && hasFunction);
      }
      int c = 0;
      if (!hasFunction) {
        base &= ~kBit61;
      } else {
        c = (directlyConnected || (base & kBit61)) ? 28 : 14;
        if (IsApproved(walk, link.function)) c += 14;
      }
      const int fm = Item(walk, first).module, tm = Item(walk, target).module;
      if (fm >= 0 && tm >= 0 && walk.tables.Module(fm).symbols) {
        const bool firstLines = HasLines(walk, fm, Item(walk, first).address - 1);
        const bool targetLines = HasLines(walk, tm, Item(walk, target).address - 1);
        c += firstLines && targetLines ? 9 : firstLines ? 6 : 3;
      }
      link.score = base + (std::uint64_t{1} << c);
    }
    if (link.score > best) {
      best = link.score;
      chosen = static_cast<int>(k);
    }
  }
  list.chosen = chosen;
  return best;
}

void Follow(TWalkState& walk, int from, int dir, int stop) {
  for (int at = from; at >= 0 && at != stop;) {
    TStackLinks& list = Item(walk, at).lists[dir];
    if (list.chosen < 0 || static_cast<std::size_t>(list.chosen) >= list.links.size()) return;
    const int next = list.links[static_cast<std::size_t>(list.chosen)].target;
    if (next < 0 || next == stop) return;
    Item(walk, next).deleted = false;
    at = next;
  }
}

void ChooseChain(TWalkState& walk, int lo, int hi) {
  if (hi - lo < 2) return;
  const std::uint64_t up = lo < 0 ? 0 : Evaluate(walk, lo, hi, 0, true);
  const std::uint64_t down = (up & kReached) ? 0 : Evaluate(walk, hi, lo, 1, true);
  for (int k = lo + 1; k < hi; ++k) Item(walk, k).deleted = true;
  if (up > down) {
    Follow(walk, lo, 0, hi);
  } else {
    Follow(walk, hi, 1, lo);
  }
}

}  // namespace

void RemoveRecursiveAreas(TWalkState& walk, bool fullRemoval) {
  for (bool changed = true; changed && !walk.Cancelled();) {
    changed = false;
    std::vector<int> alive;
    for (int i = 0; i < static_cast<int>(walk.items.size()); ++i) {
      if (!walk.items[static_cast<std::size_t>(i)].deleted) alive.push_back(i);
    }
    for (int p = static_cast<int>(alive.size()) - 1; p > 0; --p) {
      const std::uint32_t address = Item(walk, alive[static_cast<std::size_t>(p)]).address;
      int q = p - 1;
      while (q >= 0 && Item(walk, alive[static_cast<std::size_t>(q)]).address != address) --q;
      if (q < 0) continue;
      const int j = p - q - 1;
      if (q < j) continue;
      bool repeat = true;
      for (int k = 1; k <= j && repeat; ++k) {
        repeat = Item(walk, alive[static_cast<std::size_t>(p - k)]).address ==
                 Item(walk, alive[static_cast<std::size_t>(q - k)]).address;
      }
      if (!repeat) continue;
      for (int k = q + 1; k <= p; ++k) {
        const int index = alive[static_cast<std::size_t>(k)];
        if (fullRemoval) {
          walk.RemoveItem(index);
        } else {
          Item(walk, index).deleted = true;
          Item(walk, index).anchored = false;
        }
      }
      alive.erase(alive.begin() + q + 1, alive.begin() + p + 1);
      changed = true;
      p = q + 1;  // goes on with the item now below the removed block
    }
  }
}

void InDeepChecks(TWalkState& walk) {
  const int count = static_cast<int>(walk.items.size());
  for (int i = walk.request.creatorAddress != 0 ? 1 : 0; i < count; ++i) {
    if (walk.Cancelled()) return;
    if (!Item(walk, i).deleted) DeepCheck(walk, i);
    walk.Progress(25 + i * 625 / count);
  }
}

void RealizeOptimalLinkChains(TWalkState& walk) {
  walk.Progress(650);
  const int count = static_cast<int>(walk.items.size());
  if (count == 0) return;
  std::vector<int> anchors;
  for (int i = count - 1; i >= 0; --i) {
    if (!Item(walk, i).deleted && Item(walk, i).anchored) anchors.push_back(i);
  }
  int hi = count - 1;
  while (hi >= 0 && Item(walk, hi).deleted) --hi;
  if (hi < 0) return;
  for (int anchor : anchors) {
    if (walk.Cancelled()) return;
    if (anchor >= hi) continue;
    ChooseChain(walk, anchor, hi);
    hi = anchor;
    walk.Progress(650 + (count - 1 - hi) * 350 / count);
  }
  ChooseChain(walk, -1, hi);
}

}  // namespace ostrel
