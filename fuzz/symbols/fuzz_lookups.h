// Every lookup, over whatever a reader made of the input.
#pragma once

#include <cstdint>

#include "crash/report/symbols/describe.h"
#include "crash/report/symbols/lookup.h"

namespace ostrel::fuzz {

inline void AskEverything(const TMapFile& m) {
  const std::uint32_t probes[] = {
      0, m.codeBase, m.codeBase + 1, m.codeBase + 0x100, m.codeTop - 1, m.codeTop, 0xFFFFFFFFu};
  for (std::uint32_t a : probes) {
    (void)SegmentAt(m, true, a);
    (void)PublicAt(m, a);
    (void)LineAt(m, a);
    (void)DescribeInSymbols(m, a);
    (void)FunctionNameInSymbols(m, a);
  }
  for (const TMfPublic& p : m.publics) (void)LineAt(m, p.address);
  if (!m.segments.empty()) (void)PublicByName(m, true, m.segments.front().unit, false, u"x");
}

}  // namespace ostrel::fuzz
