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
    uint32_t start = 0;
    std::vector<uint8_t> bytes;
    TMemoryClass cls = kReadable;
    uint32_t allocationBase = 0;
  };

  // Adds a block; blocks must not overlap.
  void Add(uint32_t start, std::vector<uint8_t> bytes, TMemoryClass cls = kReadable,
           uint32_t allocationBase = 0);

  bool Read(uint32_t address, void* dst, uint32_t len) const override;
  bool Query(uint32_t address, TRegionInfo& info) const override;
  const uint8_t* Direct(uint32_t address, uint32_t& available) const override;
  const std::vector<Block>& Blocks() const { return blocks_; }

 private:
  const Block* Find(uint32_t address) const;
  std::vector<Block> blocks_;  // ascending by start
};

// Maps a PE image file the way the loader lays it out: headers and sections at their virtual
// addresses from base (0 = the image's preferred base). Fills error on failure.
bool MapPeImage(const std::vector<uint8_t>& file, uint32_t base, TMemoryImage& image,
                std::string& error, uint32_t* mappedBase = nullptr);

// Code sections of a PE file: (virtual address relative to the image, file bytes).
struct TCodeSection {
  uint32_t rva = 0;
  std::vector<uint8_t> bytes;
};
bool PeCodeSections(const std::vector<uint8_t>& file, std::vector<TCodeSection>& sections,
                    uint32_t& imageBase);

}  // namespace ostrel
