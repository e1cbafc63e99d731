// The symbol container: a fixed header around a scrambled, compressed payload
// of segments, publics and lines. Stored as the module's resource "EXCEPT" or
// as a ".ostrel" file beside the module.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "crash/report/symbols/map_file.h"

namespace ostrel {

inline constexpr char kContainerSignature[] = "OSTREL-SYMBOLS";  // 14 bytes, no terminator
inline constexpr std::size_t kSignatureLength = 14;
inline constexpr std::size_t kHeaderV2 = 22;
inline constexpr std::size_t kHeaderV3 = 34;
inline constexpr std::uint32_t kFlagMinimal = 1;
// Resource type and name of the symbol container inside a module.
inline constexpr char16_t kSymbolResourceType[] = u"OSTRELSYM";
inline constexpr char16_t kSymbolResourceName[] = u"EXCEPT";

struct TContainerHeader {
  std::uint32_t payloadLength = 0;
  std::uint32_t version = 0;
  std::uint32_t stampA = 0;
  std::uint32_t stampB = 0;
  std::uint32_t flags = 0;
  std::size_t payloadOffset = 0;
};

// Header of a well-formed container (signature, version 2 or 3, whole payload
// present), or nothing.
std::optional<TContainerHeader> ReadContainerHeader(std::span<const std::uint8_t> container);

// "$" + 8 hex digits of total length, part A and part B, ", " between.
std::string ContainerStamp(std::uint32_t totalLength, std::uint32_t stampA, std::uint32_t stampB);

// Symmetric: the same call scrambles and unscrambles.
void ScramblePayload(std::span<std::uint8_t> payload);

// What reading a minimal container needs of the module.
struct TContainerContext {
  // MinDebugInfo from the module's settings, when stored with 31 characters.
  std::function<std::optional<std::string>()> minDebugInfo;
  // Tries the ".ostrel" file next to the module (with the object's stamp set).
  std::function<bool(TMapFile&)> readOstrelFile;
};

// Reads a container into symbols (code base and top already set). False, and
// symbols unchanged apart from the stamp, when the container is refused.
bool ReadContainer(TMapFile& symbols, std::span<const std::uint8_t> container,
                   const TContainerContext* context);

// Reads an unpacked payload; minimal data gets placeholder names.
bool ReadPayload(TMapFile& symbols, std::span<const std::uint8_t> payload, bool minimal);

}  // namespace ostrel
