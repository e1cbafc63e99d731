#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/core/gmw_options.h"

namespace pelmora::sim {

// What gmw.exe knows when it answers a DDE request, UTF-8.
struct DdeState {
  std::string exe_path;    // full path of gmw.exe
  std::string gold_dir;    // with trailing separator
  std::string common_dir;  // with trailing separator
  std::string ticket;
  std::string accountno;     // account of the current record
  std::string browse_recno;  // contact1 recid, or contsupp recid of an additional contact
};

std::string SysInfoText(const DdeState& state);

// The reply to one item (names compared without regard to case), or nothing
// for an unknown item. Overrides from the command line win.
std::optional<std::string> DdeReply(const DdeState& state, const GmwOptions& options,
                                    std::string_view item);

}  // namespace pelmora::sim
