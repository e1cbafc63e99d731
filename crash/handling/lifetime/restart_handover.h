#pragma once
// The block a restarting process leaves for its successor in shared memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "crash/flow/exception_history.h"

namespace ostrel {

struct RestartHandover {
  std::uint32_t processId = 0;  // of the process that restarts
  std::uint32_t handle = 0;     // the mapping's handle, duplicated for the new process
  ExceptionHistory::Entries history{};
};

// Little-endian: process id, handle, then the ten history entries.
constexpr std::size_t kRestartHandoverSize = 4 + 4 + 8 * ExceptionHistory::kSize;

// False, and nothing written, when `out` is shorter than the block.
bool WriteRestartHandover(const RestartHandover& handover, std::span<std::uint8_t> out);

// None when `in` is shorter than the block; a longer span (a whole mapped
// page) is read from its start.
std::optional<RestartHandover> ReadRestartHandover(std::span<const std::uint8_t> in);

}  // namespace ostrel
