// The call stack of one thread, read from raw stack memory: candidates
// verified against the call before them, linked through the disassembler,
// the best chain between certain frames kept, then named and laid out.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "crash/report/disasm/function_parser.h"
#include "crash/report/disasm/memory_reader.h"
#include "crash/report/disasm/disasm_symbols.h"
#include "crash/report/symbols/map_file.h"

namespace ostrel {

// One written line, for the exception box.
struct TStackItem {
  std::uint32_t address = 0;
  std::uint32_t relativeAddress = 0;
  std::u16string module, unit;
  std::int32_t line = 0;
  std::int32_t relativeLine = 0;
  std::u16string function;
};
using TStackTrace = std::vector<TStackItem>;

// What the walk asks of the process beyond its memory.
class IStackEnvironment {
 public:
  virtual ~IStackEnvironment() = default;
  // Valid symbols of the module at base, or nullptr.
  virtual std::shared_ptr<const TMapFile> Symbols(std::uint32_t moduleBase) = 0;
  // File name without path; empty when unknown.
  virtual std::u16string ModuleFileName(std::uint32_t moduleBase) = 0;
  virtual bool IsProgramModule(std::uint32_t moduleBase) = 0;
  // Run-time helpers the parser follows in the module's code.
  virtual TRuntimeHelpers Helpers(std::uint32_t moduleBase) {
    (void)moduleBase;
    return {};
  }
  // Callbacks the parser names code with; nullptr for none.
  virtual const TDisasmSymbols* DisasmSymbols() { return nullptr; }
  // Start of the run-time's try/finally exit routine, 0 when there is none.
  virtual std::uint32_t TryFinallyExitRoutine() { return 0; }
};

struct TWalkRequest {
  bool hideUglyItems = false;
  bool showRelativeAddresses = true;
  bool showRelativeLines = true;
  bool noTopItem = false;
  std::vector<std::u16string>* minimalDebugInfo = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  const std::string* preparedStack = nullptr;
  bool externalException = false;  // a processor exception
  bool isException = false;        // the walk is for the exception's location
  std::uint32_t framePointer = 0;
  std::function<void(int)> progress;  // 0 … 1000
  std::uint32_t creatorAddress = 0;   // the creating call's own address
  std::uint32_t stackTop = 0, stackBottom = 0;
  std::uint32_t currentAddress = 0;
  TStackTrace* output = nullptr;
  bool wantChecksums = true;
};

struct TWalkResult {
  std::u16string text;
  std::uint32_t checksum1 = 0, checksum2 = 0;
  bool hasLineNumbers = false;
  std::uint32_t exceptionFunction = 0, exceptionFunctionAddress = 0;
  std::uint32_t innermostAddress = 0;
};

class TStackTables;

// Keeps the module and function tables between walks; one walk at a time.
class TStackWalker {
 public:
  TStackWalker(const IMemoryReader& reader, IStackEnvironment& environment);
  ~TStackWalker();
  TStackWalker(const TStackWalker&) = delete;
  TStackWalker& operator=(const TStackWalker&) = delete;

  // snapshot: the readable memory at the start of the walk (nullptr: none).
  TWalkResult Walk(const TWalkRequest& request, const TDATryRead* snapshot);

 private:
  std::mutex lock_;
  std::unique_ptr<TStackTables> tables_;
};

// "0045c1a3 +7 app.exe Orders 29 +1 TOrderList.Refresh"; symbols may be null.
std::u16string FormatLocation(std::uint32_t address, const TMapFile* symbols,
                              const std::u16string& moduleFileName, bool showRelativeAddress,
                              bool showRelativeLine);

// ">> internal error in " + name [":\r\n" + location].
std::u16string InternalErrorText(const std::u16string& name, const std::u16string& location = {});

// The address of the call instruction that returns to returnAddress, or 0.
std::uint32_t CallInstructionBefore(const IMemoryReader& reader, std::uint32_t returnAddress);

// Lower-cases A-Z and the three letters the checksums fold (C4, D6, DC).
std::u16string ChecksumLowerCase(std::u16string text);

}  // namespace ostrel
