#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelmora::sim {

// WM_COPYDATA marker of test control commands sent to gmw.exe.
inline constexpr unsigned long kControlMarker = 0x474D;

struct ControlCommand {
  enum class Kind { kSelect, kSelectAdditional, kStop, kResume, kQuit };
  Kind kind;
  std::string argument;  // account number or contsupp recid
};

// "select <accountno>", "select-additional <recid>", "stop", "resume",
// "quit". The argument is taken verbatim; a trailing zero byte is ignored.
std::optional<ControlCommand> ParseControlCommand(std::string_view text);

}  // namespace pelmora::sim
