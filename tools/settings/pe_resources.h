#pragma once
// Reads named resources out of a PE file's bytes, on any platform.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

struct PeResource {
  std::vector<std::uint8_t> data;
  std::uint32_t rva = 0;
  std::uint16_t language = 0;
};

// The first language of resource `name` (matched without regard to case)
// of numeric type `type`. Throws std::runtime_error when the file is not a
// readable PE image; empty when the resource does not exist.
std::optional<PeResource> FindPeResource(std::span<const std::uint8_t> image, std::uint16_t type,
                                         std::u16string_view name);

// The names of the named resources of numeric type `type`, as stored (ids
// are left out). Throws std::runtime_error like FindPeResource.
std::vector<std::u16string> ListPeResourceNames(std::span<const std::uint8_t> image,
                                                std::uint16_t type);

constexpr std::uint16_t kRtRcdata = 10;

}  // namespace ostrel
