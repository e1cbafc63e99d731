#include "sim/core/control_command.h"

namespace pelmora::sim {

std::optional<ControlCommand> ParseControlCommand(std::string_view text) {
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  using Kind = ControlCommand::Kind;
  if (text == "stop") return ControlCommand{Kind::kStop, {}};
  if (text == "resume") return ControlCommand{Kind::kResume, {}};
  if (text == "quit") return ControlCommand{Kind::kQuit, {}};
  struct Prefix {
    std::string_view word;
    Kind kind;
  };
  for (auto [word, kind] :
       {Prefix{"select ", Kind::kSelect}, Prefix{"select-additional ", Kind::kSelectAdditional}}) {
    if (text.substr(0, word.size()) == word && text.size() > word.size()) {
      return ControlCommand{kind, std::string(text.substr(word.size()))};
    }
  }
  return std::nullopt;
}

}  // namespace pelmora::sim
