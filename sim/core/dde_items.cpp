#include "sim/core/dde_items.h"

#include "sim/core/name_values.h"

namespace pelmora::sim {

std::string SysInfoText(const DdeState& state) {
  return "GoldMine Version = 7.0 (stand-in)\r\n"
         "GoldMine EXE = " +
         state.exe_path +
         "\r\n"
         "GoldDir = " +
         state.gold_dir +
         "\r\n"
         "CommonDir = " +
         state.common_dir +
         "\r\n"
         "User Name = MASTER\r\n";
}

std::optional<std::string> DdeReply(const DdeState& state, const GmwOptions& options,
                                    std::string_view item) {
  auto is = [&](std::string_view name) { return EqualsNoCase(item, name); };
  if (is("&SysInfo")) return options.sysinfo.value_or(SysInfoText(state));
  if (is("[GetLoginCredentials]")) return options.credentials.value_or(state.ticket);
  if (is("&GoldDir")) return options.golddir.value_or(state.gold_dir);
  if (is("&CommonDir")) return options.commondir.value_or(state.common_dir);
  if (is("contact1->accountno")) return state.accountno;
  if (is("&BrowseRecNo")) return state.browse_recno;
  return std::nullopt;
}

}  // namespace pelmora::sim
