// The check a program database passes before the debug-help library reads
// it, and the module's record of its PDB, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crash/report/symbols/pdb_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ostrel;
  const std::span<const std::uint8_t> file(data, size);
  const TPdbCheck check =
      CheckPdbFile([file](std::uint64_t offset,
                          std::uint32_t length) -> std::optional<std::vector<std::uint8_t>> {
        if (offset > file.size() || file.size() - offset < length) return std::nullopt;
        const auto part = file.subspan(static_cast<std::size_t>(offset), length);
        return std::vector<std::uint8_t>(part.begin(), part.end());
      });
  for (const bool mapped : {true, false}) {
    const auto linked = ModulePdbIdentity(TPeImage(file, mapped));
    if (linked && check.identity) (void)PdbBelongsToModule(*check.identity, *linked);
  }
  return 0;
}
