// An in-memory address space made of blocks: serves host tools, tests and offline reading.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/disasm/memory_reader.h"

namespace ostrel {

class TMemoryImage : public IMemoryReader {
 public:
  struct Block {
    std::uint32_t start = 0;
    std::vector<std::uint8_t> bytes;
    TMemoryClass cls = kReadable;
    std::uint32_t allocationBase = 0;
  };

  // Adds a block; blocks must not overlap.
  void Add(std::uint32_t start, std::vector<std::uint8_t> bytes, TMemoryClass cls = kReadable,
           std::uint32_t allocationBase = 0);

  bool Read(std::uint32_t address, void* dst, std::uint32_t len) const override;
  bool Query(std::uint32_t address, TRegionInfo& info) const override;
  const std::uint8_t* Direct(std::uint32_t address, std::uint32_t& available) const override;
  const std::vector<Block>& Blocks() const { return blocks_; }

 private:
  const Block* Find(std::uint32_t address) const;
  std::vector<Block> blocks_;  // ascending by start
};

// Maps a PE image file the way the loader lays it out: headers and sections at their virtual
// addresses from base (0 = the image's preferred base). Fills error on failure.
bool MapPeImage(const std::vector<std::uint8_t>& file, std::uint32_t base, TMemoryImage& image,
                std::string& error, std::uint32_t* mappedBase = nullptr);

// Code sections of a PE file: (virtual address relative to the image, file bytes).
struct TCodeSection {
  std::uint32_t rva = 0;
  std::vector<std::uint8_t> bytes;
};
bool PeCodeSections(const std::vector<std::uint8_t>& file, std::vector<TCodeSection>& sections,
                    std::uint32_t& imageBase);

}  // namespace ostrel
