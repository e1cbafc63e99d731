// Edits a linked PE file after the fact: a new resource section appended as
// the last section (code and data stay where the linker put them), and the
// debug sections and COFF symbols dropped from the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/symbols/resource_writer.h"

namespace ostrel::tools {

struct TPeEdit {
  bool stripDebug = false;
  // The resources the file will carry.
  std::vector<TResourceEntry> resources;
};

// The edited file, or empty with a message.
std::vector<std::uint8_t> EditPe(const std::vector<std::uint8_t>& file, const TPeEdit& edit,
                                 std::string& error);

// The image as the loader maps it: headers and sections at their RVAs.
std::vector<std::uint8_t> MapImage(const TPeImage& file);

}  // namespace ostrel::tools
