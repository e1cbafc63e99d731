// Reads every resource of an image and lays out a new resource section, so a
// resource can be added after linking without moving code or data.
#pragma once

#include <cstdint>
#include <vector>

#include "crash/report/symbols/pe_image.h"

namespace ostrel {

struct TResourceEntry {
  TResourceId type;
  TResourceId name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  std::vector<std::uint8_t> data;
};

std::vector<TResourceEntry> ReadAllResources(const TPeImage& image);

// Adds or replaces (same type and name, any language) an entry.
void PutResource(std::vector<TResourceEntry>& entries, TResourceEntry entry);

// The bytes of a resource section placed at sectionRva.
std::vector<std::uint8_t> BuildResourceSection(const std::vector<TResourceEntry>& entries,
                                               std::uint32_t sectionRva);

}  // namespace ostrel
