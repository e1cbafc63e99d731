// Read-only view of a 32-bit PE image, either as a file's bytes or as the
// image mapped in memory (where an RVA is an offset).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

struct TPeSection {
  std::string name;  // long names resolved through the string table
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawPointer = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t characteristics = 0;
  std::size_t headerOffset = 0;  // file offset of its section header
};

struct TPeDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

// A resource name or type: a number, or a name when text is not empty.
struct TResourceId {
  std::uint16_t number = 0;
  std::u16string text;
  bool operator==(const TResourceId&) const = default;
};

class TPeImage {
 public:
  static constexpr int kExportDirectory = 0;
  static constexpr int kResourceDirectory = 2;
  static constexpr int kDebugDirectory = 6;
  static constexpr std::uint32_t kCodeSection = 0x20;
  static constexpr std::uint32_t kExecuteSection = 0x20000000;

  // mapped: bytes start at the image base and RVAs are offsets.
  TPeImage(std::span<const std::uint8_t> bytes, bool mapped);

  bool valid() const { return valid_; }
  bool mapped() const { return mapped_; }
  std::span<const std::uint8_t> bytes() const { return bytes_; }
  std::uint32_t imageBase() const { return imageBase_; }
  std::uint32_t sizeOfImage() const { return sizeOfImage_; }
  std::uint32_t timeStamp() const { return timeStamp_; }
  std::uint32_t entryPointRva() const { return entryPoint_; }
  std::uint32_t fileAlignment() const { return fileAlignment_; }
  std::uint32_t sectionAlignment() const { return sectionAlignment_; }
  std::size_t peOffset() const { return peOffset_; }
  std::size_t optionalHeaderOffset() const { return peOffset_ + 24; }
  std::size_t sectionTableOffset() const { return sectionTable_; }
  std::uint32_t sizeOfHeaders() const { return sizeOfHeaders_; }
  std::uint32_t symbolTablePointer() const { return symbolTable_; }
  std::uint32_t symbolCount() const { return symbolCount_; }
  const std::vector<TPeSection>& sections() const { return sections_; }
  TPeDirectory directory(int index) const;

  // Code and data ranges as RVAs [begin, end).
  std::uint32_t codeBegin() const { return codeBegin_; }
  std::uint32_t codeEnd() const { return codeEnd_; }
  std::uint32_t dataBegin() const { return dataBegin_; }
  std::uint32_t dataEnd() const { return dataEnd_; }

  // size bytes at rva, or empty when any of them lies outside the image.
  std::span<const std::uint8_t> At(std::uint32_t rva, std::uint32_t size) const;
  // A NUL-terminated 8-bit string at rva (at most maxLength bytes).
  std::optional<std::string> StringAt(std::uint32_t rva, std::uint32_t maxLength = 4096) const;

  // Data of the first resource of that type and name (any language).
  std::span<const std::uint8_t> FindResourceData(const TResourceId& type,
                                                 const TResourceId& name) const;

  struct TExportName {
    std::string name;           // empty when exported by ordinal only
    std::uint32_t ordinal = 0;  // biased by the ordinal base
  };
  // The export whose address is rva.
  std::optional<TExportName> ExportAt(std::uint32_t rva) const;

 private:
  std::span<const std::uint8_t> bytes_;
  bool mapped_ = false;
  bool valid_ = false;
  std::uint32_t imageBase_ = 0, sizeOfImage_ = 0, timeStamp_ = 0, entryPoint_ = 0;
  std::uint32_t fileAlignment_ = 0, sectionAlignment_ = 0, sizeOfHeaders_ = 0;
  std::uint32_t symbolTable_ = 0, symbolCount_ = 0;
  std::size_t peOffset_ = 0, sectionTable_ = 0;
  std::vector<TPeDirectory> directories_;
  std::vector<TPeSection> sections_;
  std::uint32_t codeBegin_ = 0, codeEnd_ = 0, dataBegin_ = 0, dataEnd_ = 0;
};

std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset);

// Entries of one resource directory table of a .rsrc section: (id, offset of
// what it points to). Entries whose name runs past the section are skipped.
struct ResourceDirEntry {
  TResourceId id;
  std::uint32_t target = 0;
};
std::vector<ResourceDirEntry> ReadResourceDirectory(std::span<const std::uint8_t> rsrc,
                                                    std::uint32_t offset);
std::uint16_t ReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace ostrel
