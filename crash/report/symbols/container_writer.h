// Writes symbol containers: what the build attaches to a module.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// Offsets are relative to the module's code base.
struct TSymbolSource {
  struct Segment {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::string unit;  // UTF-8
    bool hasLines = false;
  };
  struct Public {
    std::string name;  // UTF-8
    std::uint32_t address = 0;
  };
  struct Line {
    std::int32_t line = 0;
    std::uint32_t address = 0;
  };
  std::vector<Segment> segments;
  std::vector<Public> publics;
  std::vector<Line> lines;
  std::optional<std::uint32_t> entryPoint;
};

// The unpacked payload: segments, publics (sorted by address) and lines.
std::vector<std::uint8_t> BuildPayload(const TSymbolSource& source, bool minimal);

// Raw DEFLATE in the wrapper UnpackBlob reads; empty on failure.
std::vector<std::uint8_t> PackBlob(const std::vector<std::uint8_t>& data);

// A version-3 container; stampA/stampB identify the build.
std::vector<std::uint8_t> BuildContainer(const TSymbolSource& source, bool minimal,
                                         std::uint32_t stampA, std::uint32_t stampB);

// Names longer than a packed string can hold are cut at a character boundary.
std::string FitPackedString(const std::string& text);

}  // namespace ostrel
