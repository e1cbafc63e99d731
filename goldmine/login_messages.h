// Messages for the log-in results of GMW_LoadAPI.
#pragma once

#include <string>

namespace pelmora {

// The message shown for a log-in result of 0 or less (empty for codes that
// GoldMine does not document).
std::string LoginFailureMessage(int code);

}  // namespace pelmora
