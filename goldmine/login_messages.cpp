#include "goldmine/login_messages.h"

namespace pelmora {

std::string LoginFailureMessage(int code) {
  switch (code) {
    case 0:
      return "API already loaded";
    case -1:
      return "API failed to load (dll not in path?)";
    case -5:
      return "Invalid GoldDir";
    case -6:
      return "Invalid CommonDir";
    case -7:
      return "Failed to allocate the needed TLS slot";
    case -8:
      return "General Failure";
    case -9:
      return "No access to specified contact set for this user";
    default:
      return {};
  }
}

}  // namespace pelmora
