// Which code belongs to a function: its areas, its calls and its unresolved transfers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crash/report/disasm/instruction.h"
#include "crash/report/disasm/memory_reader.h"
#include "crash/report/disasm/disasm_symbols.h"

namespace ostrel {

struct TCodeArea {
  std::uint32_t start = 0;
  std::uint32_t end = 0;  // exclusive; 0 while not yet parsed
  bool caseJumpTable = false;
  bool exceptionHandlerTable = false;
  std::uint32_t ledBy = 0;  // the jump that first led here
  TRegisterState regs;
};

struct TFarCall {
  bool isCall = false;
  std::uint32_t address = 0;
  std::uint32_t next = 0;
  std::uint32_t target = 0;
  bool relativeTarget = false;
  std::uint32_t targetField = 0;
  std::uint32_t targetPointer = 0;
};

struct TUnknownTransfer {
  std::uint8_t isCall = 0;  // 1 for calls, 0 for jumps
  std::uint32_t address = 0;
  std::uint32_t next = 0;
};

struct TFunctionInfo {
  bool valid = false;
  std::uint32_t entryPoint = 0;
  std::uint32_t codeBegin = 0;
  std::uint32_t codeLength = 0;
  std::uint32_t errorAddress = 0;
  std::uint32_t errorNumber = 0;
  std::string errorText;
  std::vector<TCodeArea> areas;  // ascending by start
  std::vector<TFarCall> farCalls;
  std::vector<TUnknownTransfer> unknownTransfers;
  bool overwritable = false;
  std::uint32_t relocatedSize = 0;
};

// Run-time helpers of the module being parsed; 0 = not present.
struct TRuntimeHelpers {
  std::uint32_t handleAnyException = 0;
  std::uint32_t handleOnException = 0;
  std::uint32_t handleAutoException = 0;
  std::uint32_t handleFinally = 0;
  std::uint32_t halt = 0;
  // Routines that raise and never return (C++ throw, unwinder raise).
  std::vector<std::uint32_t> throwRoutines;
};

constexpr std::uint32_t kInvalidCodeError = 0x770001;
constexpr std::uint32_t kInvalidParameterError = 87;

TFunctionInfo ParseFunction(const IMemoryReader& reader, std::uint32_t entryPoint,
                            const TDATryRead* snapshot, const TRuntimeHelpers& helpers,
                            const TDisasmSymbols* symbols = nullptr);

}  // namespace ostrel
