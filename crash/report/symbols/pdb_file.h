// Checks a program database file before the debug-help library reads it, and
// tells whether it belongs to the module beside it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "crash/report/symbols/pe_image.h"

namespace ostrel {

// The build a PDB was written for: the GUID and age that the module's
// CodeView record ("RSDS") and the PDB's info stream both carry.
struct TPdbIdentity {
  std::array<std::uint8_t, 16> guid{};
  std::uint32_t age = 0;
};

// The same GUID; tools that rewrite a PDB raise its age, never lower it.
bool PdbBelongsToModule(const TPdbIdentity& pdb, const TPdbIdentity& module);

// length bytes of the file at offset; nothing when the file is shorter.
using TFilePartReader = std::function<std::optional<std::vector<std::uint8_t>>(
    std::uint64_t offset, std::uint32_t length)>;

struct TPdbCheck {
  bool sound = false;                    // the container holds together
  std::optional<TPdbIdentity> identity;  // multi-stream (7.00) files only
};

// Reads the container's header and stream directory: every block the file
// names must lie inside it, so that a truncated or foreign file is refused.
TPdbCheck CheckPdbFile(const TFilePartReader& read);

// The identity of the PDB the module was linked with (its first CodeView
// "RSDS" debug record); nothing when it names none.
std::optional<TPdbIdentity> ModulePdbIdentity(const TPeImage& image);

}  // namespace ostrel
