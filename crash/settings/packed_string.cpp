#include "crash/settings/packed_string.h"

#include <cstdint>
#include <cstring>

#include "crash/settings/shared_heap.h"

namespace ostrel {

namespace {

// The block's size sits in front of the text so any reader can tell whether
// a UTF-16 form follows.
constexpr std::size_t kHeader = 8;

char* AllocBlock(std::size_t size) {
  auto* raw = static_cast<char*>(SharedAlloc(kHeader + size));
  const auto stored = static_cast<std::uint32_t>(size);
  std::memcpy(raw, &stored, sizeof stored);
  return raw + kHeader;
}

}  // namespace

std::size_t PackedBlockSize(const char* packed) {
  if (!packed) return 0;
  std::uint32_t size;
  std::memcpy(&size, packed - kHeader, sizeof size);
  return size;
}

bool PackedHasWideForm(const char* packed) {
  if (!packed) return false;
  const std::size_t len = std::strlen(packed);
  const std::size_t size = PackedBlockSize(packed);
  // The second test guards blocks whose 8-bit form is empty.
  return size > 3 * len && size >= len + 1 + 2 * sizeof(char16_t);
}

char* PackText(std::u16string_view text, const ICodePage& codePage) {
  if (text.empty()) return nullptr;
  const std::string narrow = codePage.Narrow(text);
  bool wide = codePage.Widen(narrow) != text;
  for (char16_t c : text) wide = wide || c > 255;
  const std::size_t narrowLen = std::strlen(narrow.c_str());
  std::size_t size = narrowLen + 1;
  if (wide) size += (text.size() + 1) * sizeof(char16_t);
  char* block = AllocBlock(size);
  std::memcpy(block, narrow.c_str(), narrowLen);
  if (wide) std::memcpy(block + narrowLen + 1, text.data(), text.size() * sizeof(char16_t));
  return block;
}

char* PackNarrow(std::string_view text) {
  const std::size_t len = std::strlen(std::string(text).c_str());
  if (len == 0) return nullptr;
  char* block = AllocBlock(len + 1);
  std::memcpy(block, text.data(), len);
  return block;
}

void FreePacked(char* packed) {
  if (packed) SharedFree(packed - kHeader);
}

std::u16string UnpackText(const char* packed, const ICodePage& codePage) {
  if (!packed) return {};
  const std::size_t len = std::strlen(packed);
  if (!PackedHasWideForm(packed)) return codePage.Widen(std::string_view(packed, len));
  const char* wide = packed + len + 1;
  const std::size_t maxChars = (PackedBlockSize(packed) - len - 1) / sizeof(char16_t);
  std::u16string out;
  for (std::size_t i = 0; i < maxChars; ++i) {
    char16_t c;
    std::memcpy(&c, wide + i * sizeof c, sizeof c);
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

std::string UnpackNarrow(const char* packed) {
  return packed ? std::string(packed) : std::string();
}

}  // namespace ostrel
