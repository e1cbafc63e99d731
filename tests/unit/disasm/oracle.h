// Outside decoders (Zydis, Capstone) as oracles for length, validity and targets.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "crash/report/disasm/instruction.h"
#include "crash/report/disasm/memory_reader.h"

namespace ostrel::test {

struct TOracleResult {
  bool valid = false;
  int length = 0;
  bool hasTarget = false;  // relative transfer with a computed target
  std::uint32_t target = 0;
  std::string mnemonic;
  int isaExt = 0;
  bool legacyEncoding = true;
};

TOracleResult ZydisDecode(const std::uint8_t* bytes, size_t size, std::uint32_t address);
TOracleResult CapstoneDecode(const std::uint8_t* bytes, size_t size, std::uint32_t address);

// Reason a class of disagreement is accepted, or nullptr for an unknown class.
const char* AllowedReason(const std::string& cls);

// Disagreement class of one comparison; empty when both decoders agree.
std::string Classify(const std::uint8_t* bytes, size_t size, const TInstruction& ours,
                     const TOracleResult& zydis);

struct TTally {
  long total = 0;
  long agree = 0;
  long capstoneTotal = 0;
  long capstoneAgree = 0;
  std::map<std::string, long> classes;
  std::map<std::string, std::string> samples;
  std::vector<std::string> unexplained;

  // Decodes bytes with ours and the oracles; returns the length to advance by.
  // Without memory, only the given bytes are readable.
  int Compare(const std::uint8_t* bytes, size_t size, std::uint32_t address, bool withCapstone,
              const IMemoryReader* memory = nullptr);
  std::string Report(const std::string& title) const;
};

}  // namespace ostrel::test
